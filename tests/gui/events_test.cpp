// What only Qt can show of the windows' behaviour: clicks, keys, pointer
// movements and closing reach the logic; the keyboard order and the focus
// frame; what a screen reader is told.
#include <functional>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QCloseEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "TestSupport.h"
#include "app/qt/QtServices.h"
#include "tests/gui/GuiSupport.h"

namespace tagshift::qt::testing {
namespace {

using C = ui::ControlId;

using Act = std::function<void(MainWindowWidget&)>;

Act Click(C id) {
    return [id](MainWindowWidget& w) { QTest::mouseClick(w.Control(id), Qt::LeftButton); };
}
Act DoubleClick(C id) {
    return [id](MainWindowWidget& w) { QTest::mouseDClick(w.Control(id), Qt::LeftButton); };
}
Act Key(C id, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return [=](MainWindowWidget& w) { QTest::keyClick(w.Control(id), key, modifiers); };
}
Act Point(C id) {
    return [id](MainWindowWidget& w) {
        w.Control(id)->show();  // the progress bar too
        QTest::mouseMove(w.Control(id), w.Control(id)->rect().center());
    };
}
Act PointAtBackground() {
    return [](MainWindowWidget& w) { QTest::mouseMove(&w, QPoint(2, 2)); };
}
Act Close() {
    return [](MainWindowWidget& w) { w.close(); };
}

// What the logic changed, as far as these events go.
struct Seen {
    Seen(int choosers = 0, std::size_t pages = 0, std::size_t files = 0, std::size_t boxes = 0, std::set<C> lit = {},
         bool shown = true)
        : choosers(choosers), pages(pages), files(files), boxes(boxes), lit(std::move(lit)), shown(shown) {}
    int choosers;
    std::size_t pages, files, boxes;
    std::set<C> lit;  // underlined or framed
    bool shown;
    bool operator==(const Seen& o) const {
        return choosers == o.choosers && pages == o.pages && files == o.files && boxes == o.boxes && lit == o.lit &&
               shown == o.shown;
    }
};

Seen Observe(MainWindowWidget& window, const ui::testing::FakeFace& face) {
    Seen seen{face.choosers, face.pages.size(), face.files.size(), face.boxes.size(), {}, window.isVisible()};
    for (const ui::Control& control : ui::MainWindowDesign().controls)
        if (ControlWidget* item = window.DesignControl(control.id); item && (item->Underlined() || item->Bordered()))
            seen.lit.insert(control.id);
    return seen;
}

TEST(QtEvents, ClicksKeysPointerAndCloseReachTheMainWindowsLogic) {
    const struct {
        const char* name;
        std::vector<Act> acts;
        Seen seen;
    } cases[] = {
        {"click on the folder picture", {Click(C::FolderButton)}, {1}},
        {"Enter on the folder name", {Key(C::FolderName, Qt::Key_Return)}, {1}},
        {"Space on Donate", {Key(C::DonateButton, Qt::Key_Space)}, {0, 1}},
        {"keypad Enter on Microsoft info", {Key(C::InfoLink, Qt::Key_Enter, Qt::KeypadModifier)}, {0, 1}},
        {"a key that activates nothing", {Key(C::InfoLink, Qt::Key_A)}, {}},
        {"click on help", {Click(C::HelpLink)}, {0, 0, 1}},
        {"click on Convert without a folder: its error", {Click(C::ConvertLink)}, {0, 0, 0, 1}},
        {"a double click is one click", {Click(C::DonateButton), DoubleClick(C::DonateButton)}, {0, 1}},
        {"pointer over the Convert picture", {Point(C::ConvertButton)}, {0, 0, 0, 0, {C::ConvertLink}}},
        {"pointer over Donate", {Point(C::DonateButton)}, {0, 0, 0, 0, {C::DonateButton}}},
        {"pointer over a link, then the progress bar",
         {Point(C::HelpLink), Point(C::ProgressBar)},
         {0, 0, 0, 0, {C::HelpLink}}},
        {"pointer over a link, then the background", {Point(C::HelpLink), PointAtBackground()}, {}},
        {"close when idle", {Close()}, {0, 0, 0, 0, {}, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::WriteFile(dir / "readme.txt", "help");
        ui::testing::FakeFace face;
        face.currentFolder = dir.Path();
        MainWindowWidget window(face, 1.0);
        ASSERT_TRUE(ShowActive(window));
        for (const Act& act : c.acts) act(window);
        EXPECT_TRUE(Observe(window, face) == c.seen);
    }
}

TEST(QtEvents, AFolderDroppedFromTheFileManagerIsChosenAndAFileRefused) {
    test::TempDir dir;
    test::WriteFile(dir / "site/index.htm", "<object></object>");
    const struct {
        const char* name;
        std::string path;
        QString folderShown;
        std::size_t boxes;
    } cases[] = {
        {"a folder", dir / "site", QString::fromStdString(dir / "site"), 0},
        {"a file", dir / "site/index.htm", "No Directory Chosen", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui::testing::FakeFace face;
        MainWindowWidget window(face, 1.0);
        ASSERT_TRUE(ShowActive(window));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(c.path))});
        const QPoint at = window.Control(C::IntroText)->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QCoreApplication::processEvents();
        EXPECT_EQ(window.DesignControl(C::FolderName)->Text(), c.folderShown);
        EXPECT_EQ(face.boxes.size(), c.boxes);
    }
}

// The real summary box and save dialog; launches go to the fake opener.
struct RealDialogs : ui::testing::FakeFace {
    QtServices qt;
    ui::Answer ShowMessage(ui::MessageKind kind, const std::string& title, const std::string& prompt) override {
        return qt.ShowMessage(kind, title, prompt);
    }
    std::optional<std::string> ChooseSaveFile(const ui::SaveRequest& request) override {
        return qt.ChooseSaveFile(request);
    }
};

TEST(QtEvents, SaveReportOnTheSummaryBoxSavesWhereTheDialogSaysAndOpensIt) {
    test::TempDir dir;
    test::WriteFile(dir / "site/index.htm", "<object></object>");
    RealDialogs face;
    MainWindowWidget window(face, 1.0);
    ASSERT_TRUE(ShowActive(window));
    face.chooserAnswers = {dir / "site"};
    window.Logic().Activate(C::FolderButton);
    QString shownFolder, shownName;
    const QString saved = QString::fromStdString(dir / "mine.html");
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            for (QAbstractButton* button : box->buttons())
                if (button->text() == "Save Report...") button->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            shownFolder = dialog->directory().absolutePath();
            shownName = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            dialog->selectFile(saved);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
    answer.start();
    window.Logic().Activate(C::ConvertButton);
    answer.stop();
    EXPECT_EQ(shownFolder, QString::fromStdString(dir.Path()));
    EXPECT_EQ(shownName, "site_Converted-report.html");
    EXPECT_NE(test::ReadFile(saved.toStdString()).find("index.htm"), std::string::npos);
    EXPECT_EQ(face.files, std::vector<std::string>{saved.toStdString()});
}

TEST(QtEvents, ClosingDuringARunAsksAndStaysOpenUntilTheStoppedRunEndsTheProgram) {
    test::TempDir dir;
    for (int i = 0; i < 5; ++i) test::WriteFile(dir / ("site/page" + std::to_string(i) + ".htm"), "<object></object>");
    ui::testing::FakeFace face;
    face.answers = {ui::Answer::Yes};
    MainWindowWidget window(face, 1.0);
    ASSERT_TRUE(ShowActive(window));
    face.chooserAnswers = {dir / "site"};
    QTest::mouseClick(window.Control(C::FolderButton), Qt::LeftButton);
    // The run yields to the event loop: a close comes in once the progress
    // shows.
    bool closedDuringRun = false;
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (closedDuringRun || !window.Logic().Running() || !window.Control(C::ProgressBar)->isVisible()) return;
        closedDuringRun = true;
        EXPECT_FALSE(window.close()) << "the window stays while the run stops";
    });
    closer.start();
    QTest::mouseClick(window.Control(C::ConvertLink), Qt::LeftButton);
    closer.stop();
    EXPECT_TRUE(closedDuringRun);
    ASSERT_FALSE(face.boxes.empty());
    EXPECT_EQ(face.boxes[0].kind, ui::MessageKind::Question);
    EXPECT_EQ(window.Logic().LastResult().outcome, RunOutcome::Stopped);
    EXPECT_EQ(face.ended, 1) << "the logic ends the program once the run stopped";
    EXPECT_FALSE(window.Control(C::ProgressBar)->isVisible());
}

TEST(QtKeyboard, TheWindowOpensOnTheFolderPictureWithItsFrameAndTabsInTheDesignsOrder) {
    ui::testing::FakeFace face;
    MainWindowWidget window(face, 1.0);
    window.Start("");
    ASSERT_TRUE(ShowActive(window));
    QWidget* folder = window.Control(C::FolderButton);
    EXPECT_EQ(QApplication::focusWidget(), folder);
    // The frame stands just outside the picture, in the focus colour.
    const QImage shot = window.grab().toImage();
    const QRect box = folder->geometry();
    EXPECT_EQ(shot.pixelColor(box.left() - 1, box.center().y()), ToQColor(ui::kFocusBlue));
    EXPECT_EQ(shot.pixelColor(box.center().x(), box.bottom() + 1), ToQColor(ui::kFocusBlue));

    std::vector<C> visited;
    for (std::size_t i = 0; i < ui::TabOrder(ui::MainWindowDesign()).size(); ++i) {
        const QWidget* focus = QApplication::focusWidget();
        for (const ui::Control& control : ui::MainWindowDesign().controls)
            if (window.Control(control.id) == focus) visited.push_back(control.id);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, ui::TabOrder(ui::MainWindowDesign()));
    EXPECT_EQ(QApplication::focusWidget(), folder) << "the order wraps round";
    // The frame follows the focus.
    QTest::keyClick(folder, Qt::Key_Tab);
    const QImage next = window.grab().toImage();
    EXPECT_NE(next.pixelColor(box.left() - 1, box.center().y()), ToQColor(ui::kFocusBlue));
}

// A mnemonic presses its button as a short animation: wait for it.
void AltKey(DisclaimerWidget& disclaimer, Qt::Key key) {
    const bool ticked = disclaimer.DontShowAgainTicked();
    QTest::keyClick(&disclaimer, key, Qt::AltModifier);
    (void)QTest::qWaitFor(
        [&] {
            return disclaimer.Logic().CurrentState() != ui::DisclaimerWindow::State::Shown ||
                   disclaimer.DontShowAgainTicked() != ticked;
        },
        1000);
}

TEST(QtKeyboard, DisclaimerEnterContinuesEscapeClosesAndAltKeysPressTheirControls) {
    struct Case {
        const char* name;
        std::function<void(DisclaimerWidget&)> act;
        ui::DisclaimerWindow::State state;
        bool ticked;
    };
    const std::vector<Case> cases = {
        {"Enter on the check box",
         [](DisclaimerWidget& d) { QTest::keyClick(d.Control(C::DontShowAgain), Qt::Key_Return); },
         ui::DisclaimerWindow::State::Gone, false},
        {"Escape", [](DisclaimerWidget&) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); },
         ui::DisclaimerWindow::State::Ended, false},
        {"Alt+C", [](DisclaimerWidget& d) { AltKey(d, Qt::Key_C); }, ui::DisclaimerWindow::State::Gone, false},
        {"Alt+X", [](DisclaimerWidget& d) { AltKey(d, Qt::Key_X); }, ui::DisclaimerWindow::State::Ended, false},
        {"Alt+D then Enter",
         [](DisclaimerWidget& d) {
             AltKey(d, Qt::Key_D);
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
         },
         ui::DisclaimerWindow::State::Gone, true},
        {"Enter on Exit presses Exit",
         [](DisclaimerWidget& d) {
             d.Control(C::ExitButton)->setFocus();
             QTest::keyClick(d.Control(C::ExitButton), Qt::Key_Return);
         },
         ui::DisclaimerWindow::State::Ended, false},
        {"the frame's close box", [](DisclaimerWidget& d) { d.close(); }, ui::DisclaimerWindow::State::Ended, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        int mains = 0, ends = 0;
        DisclaimerWidget disclaimer({dir.Path(), ""}, {[&] { ++mains; }, [&] { ++ends; }, nullptr}, 1.0);
        disclaimer.Start();
        ASSERT_TRUE(ShowActive(disclaimer));
        EXPECT_EQ(QApplication::focusWidget(), disclaimer.Control(C::DontShowAgain));
        c.act(disclaimer);
        EXPECT_EQ(disclaimer.Logic().CurrentState(), c.state);
        EXPECT_EQ(mains, c.state == ui::DisclaimerWindow::State::Gone ? 1 : 0);
        EXPECT_EQ(ends, c.state == ui::DisclaimerWindow::State::Ended ? 1 : 0);
        EXPECT_EQ(test::Exists(dir / ui::kMarkerName), c.ticked);
        EXPECT_FALSE(disclaimer.isVisible());
    }
}

// --- Accessibility ----------------------------------------------------------

// What a screen reader must hear of each control: its role, its name
// (nullptr: the text it shows), its description, and whether it can be pressed.
struct Heard {
    QAccessible::Role role;
    const char* name;
    const char* description;
    bool pressable;
};

const std::map<C, Heard>& HeardOfEachControl() {
    static const char* choose = "Click to choose the directory containing the website(s) you wish to update";
    static const char* convert = "Copies the chosen folder beside it and converts the copy";
    static const std::map<C, Heard> heard = {
        {C::IntroText, {QAccessible::StaticText, nullptr, "", false}},
        {C::FolderHeading, {QAccessible::StaticText, nullptr, "", false}},
        {C::FolderButton, {QAccessible::Button, "Choose the folder of your web site", choose, true}},
        {C::FolderName, {QAccessible::Button, "No Directory Chosen", choose, true}},
        {C::ConvertHeading, {QAccessible::StaticText, nullptr, "", false}},
        {C::ConvertButton, {QAccessible::Button, "Convert website", convert, true}},
        {C::ConvertLink, {QAccessible::Button, "Convert website", convert, true}},
        {C::DonateHeading, {QAccessible::StaticText, nullptr, "", false}},
        {C::DonateButton, {QAccessible::Link, "Donate", "Opens the donation page in your web browser", true}},
        {C::InfoText, {QAccessible::StaticText, nullptr, "", false}},
        {C::InfoLink,
         {QAccessible::Link, "Why you need this patch (web page)",
          "Launch Internet Explorer and read about the patch Microsoft has applied stopping ActiveX", true}},
        {C::FileTypesText, {QAccessible::StaticText, nullptr, "", false}},
        {C::FileTypesLabel,
         {QAccessible::Button, "Change file types",
          "Opens the File types dialog: the page patterns, capital letters, <noscript>", true}},
        {C::HelpLink, {QAccessible::Link, "Open the help file", "Click here to launch the help file", true}},
        {C::StatusLine, {QAccessible::StatusBar, nullptr, "", false}},
        {C::ProgressBar, {QAccessible::ProgressBar, "Pages converted", "", false}},
        {C::AsIsParagraph, {QAccessible::StaticText, nullptr, "", false}},
        {C::GuaranteeParagraph, {QAccessible::StaticText, nullptr, "", false}},
        {C::CopyParagraph, {QAccessible::StaticText, nullptr, "", false}},
        {C::TestParagraph, {QAccessible::StaticText, nullptr, "", false}},
        {C::ReadmeParagraph, {QAccessible::StaticText, nullptr, "", false}},
        {C::DonateParagraph, {QAccessible::StaticText, nullptr, "", false}},
        {C::DontShowAgain, {QAccessible::CheckBox, "Do not show this message again", "", false}},
        {C::ContinueButton, {QAccessible::Button, "Continue", "", true}},
        {C::ExitButton, {QAccessible::Button, "Exit", "", true}},
    };
    return heard;
}

template <typename Window>
void ExpectRolesAndNames(const ui::WindowDesign& design, Window& window) {
    for (const auto& [control, widget] : Widgets(design, window)) {
        if (control->role == ui::Role::None) continue;
        SCOPED_TRACE(control->name);
        const auto row = HeardOfEachControl().find(control->id);
        ASSERT_NE(row, HeardOfEachControl().end());
        const Heard& heard = row->second;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->role(), heard.role);
        EXPECT_EQ(accessible->text(QAccessible::Name), heard.name ? QString::fromUtf8(heard.name) : ShownText(widget));
        EXPECT_EQ(accessible->text(QAccessible::Description), QString::fromUtf8(heard.description));
        QAccessibleActionInterface* actions = accessible->actionInterface();
        EXPECT_EQ(actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction()), heard.pressable);
    }
}

TEST(QtAccessibility, EachControlHasTheDesignsRoleNameAndPressAction) {
    Windows windows;
    ExpectRolesAndNames(ui::MainWindowDesign(), windows.main);
    ExpectRolesAndNames(ui::DisclaimerDesign(), windows.disclaimer);
    QAccessibleInterface* main = QAccessible::queryAccessibleInterface(&windows.main);
    EXPECT_EQ(main->role(), QAccessible::Window);
    EXPECT_EQ(main->text(QAccessible::Name), ui::MainWindowDesign().caption);
    QAccessibleInterface* disclaimer = QAccessible::queryAccessibleInterface(&windows.disclaimer);
    EXPECT_EQ(disclaimer->role(), QAccessible::Dialog);
    EXPECT_EQ(disclaimer->text(QAccessible::Name), ui::DisclaimerDesign().caption);

    // A screen reader's press reaches the logic.
    QAccessible::queryAccessibleInterface(windows.main.Control(C::DonateButton))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(windows.face.pages.size(), 1u);
}

TEST(QtAccessibility, TheStatusLineSaysWhatItShowsAndTheProgressIsAValue) {
    test::TempDir dir;
    for (int i = 0; i < 3; ++i) test::WriteFile(dir / ("site/page" + std::to_string(i) + ".htm"), "<object></object>");
    ui::testing::FakeFace face;
    MainWindowWidget window(face, 1.0);
    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(window.Control(C::StatusLine));
    face.chooserAnswers = {dir / "site"};
    window.Logic().Activate(C::FolderButton);
    long long lastValue = -1, lastMaximum = -1;
    QString nameAtSummary, valueAtSummary;
    face.tick = ui::MainWindow::kAnnounceGapMs;
    face.onBox = [&](const ui::testing::Box&) {
        auto* bar = static_cast<QProgressBar*>(window.Control(C::ProgressBar));
        QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(bar)->valueInterface();
        lastValue = value->currentValue().toLongLong();
        lastMaximum = value->maximumValue().toLongLong();
        nameAtSummary = status->text(QAccessible::Name);
        valueAtSummary = status->text(QAccessible::Value);
    };
    window.Logic().Activate(C::ConvertLink);
    EXPECT_EQ(lastValue, 3) << "the summary comes with the bar full";
    EXPECT_EQ(lastMaximum, 3);
    // A screen reader is told the stage; the files show as the value.
    EXPECT_EQ(nameAtSummary, texts::kStatusPreparing);
    EXPECT_TRUE(valueAtSummary.startsWith(QString::fromUtf8(texts::kStatusCheckingFile)))
        << valueAtSummary.toStdString();
    EXPECT_EQ(status->text(QAccessible::Name), texts::kStatusConverted);
}

}  // namespace
}  // namespace tagshift::qt::testing
