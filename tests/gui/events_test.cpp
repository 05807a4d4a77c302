// What only Qt can show of the windows' behaviour: clicks, keys, pointer
// movements and closing reach the logic; the keyboard order and the focus
// frame; what a screen reader is told.
#include <functional>

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "TestSupport.h"
#include "tests/gui/GuiSupport.h"

namespace tagshift::qt::testing {
namespace {

using C = ui::ControlId;

void PointAt(QWidget* widget) { QTest::mouseMove(widget, widget->rect().center()); }

bool Underlined(MainWindowWidget& window, C id) { return window.DesignControl(id)->Underlined(); }

TEST(QtEvents, ClicksKeysPointerAndCloseReachTheMainWindowsLogic) {
    struct Case {
        const char* name;
        std::function<void(MainWindowWidget&)> act;
        std::function<bool(MainWindowWidget&, ui::testing::FakeFace&)> seen;
    };
    const std::vector<Case> cases = {
        {"click on the folder picture", [](MainWindowWidget& w) { QTest::mouseClick(w.Control(C::folderButton), Qt::LeftButton); },
         [](MainWindowWidget&, ui::testing::FakeFace& f) { return f.choosers == 1; }},
        {"Enter on the folder name", [](MainWindowWidget& w) { QTest::keyClick(w.Control(C::folderName), Qt::Key_Return); },
         [](MainWindowWidget&, ui::testing::FakeFace& f) { return f.choosers == 1; }},
        {"Space on Donate", [](MainWindowWidget& w) { QTest::keyClick(w.Control(C::donateButton), Qt::Key_Space); },
         [](MainWindowWidget&, ui::testing::FakeFace& f) { return f.pages == std::vector<std::string>{ui::DonationAddress()}; }},
        {"keypad Enter on Microsoft info", [](MainWindowWidget& w) { QTest::keyClick(w.Control(C::infoLink), Qt::Key_Enter, Qt::KeypadModifier); },
         [](MainWindowWidget&, ui::testing::FakeFace& f) { return f.pages == std::vector<std::string>{ui::InformationAddress()}; }},
        {"click on help", [](MainWindowWidget& w) { QTest::mouseClick(w.Control(C::helpLink), Qt::LeftButton); },
         [](MainWindowWidget&, ui::testing::FakeFace& f) { return f.files.size() + f.boxes.size() == 1; }},
        {"click on Convert without a folder", [](MainWindowWidget& w) { QTest::mouseClick(w.Control(C::convertLink), Qt::LeftButton); },
         [](MainWindowWidget&, ui::testing::FakeFace& f) { return f.boxes.size() == 1 && f.boxes[0].kind == ui::MessageKind::Error; }},
        {"a double click is one click", [](MainWindowWidget& w) {
             QTest::mouseClick(w.Control(C::donateButton), Qt::LeftButton);
             QTest::mouseDClick(w.Control(C::donateButton), Qt::LeftButton); },
         [](MainWindowWidget&, ui::testing::FakeFace& f) { return f.pages.size() == 1; }},
        {"a key that activates nothing", [](MainWindowWidget& w) { QTest::keyClick(w.Control(C::donateButton), Qt::Key_A); },
         [](MainWindowWidget&, ui::testing::FakeFace& f) { return f.pages.empty(); }},
        {"pointer over the Convert picture", [](MainWindowWidget& w) { PointAt(w.Control(C::convertButton)); },
         [](MainWindowWidget& w, ui::testing::FakeFace&) { return Underlined(w, C::convertLink); }},
        {"pointer over Donate", [](MainWindowWidget& w) { PointAt(w.Control(C::donateButton)); },
         [](MainWindowWidget& w, ui::testing::FakeFace&) { return w.DesignControl(C::donateButton)->Bordered(); }},
        {"pointer over a link, then the background", [](MainWindowWidget& w) {
             PointAt(w.Control(C::helpLink));
             QTest::mouseMove(&w, QPoint(2, 2)); },
         [](MainWindowWidget& w, ui::testing::FakeFace&) { return !Underlined(w, C::helpLink); }},
        {"pointer over the progress bar keeps a lit link", [](MainWindowWidget& w) {
             PointAt(w.Control(C::helpLink));
             w.Control(C::progressBar)->show();
             PointAt(w.Control(C::progressBar)); },
         [](MainWindowWidget& w, ui::testing::FakeFace&) { return Underlined(w, C::helpLink); }},
        {"close when idle", [](MainWindowWidget& w) { w.close(); },
         [](MainWindowWidget& w, ui::testing::FakeFace&) { return !w.isVisible(); }},
        {"typing into the pattern box", [](MainWindowWidget& w) { QTest::keyClicks(w.Control(C::patternBox), "xyz;"); },
         [](MainWindowWidget& w, ui::testing::FakeFace&) { return w.Logic().patterns == texts::kDefaultPatterns; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        ui::testing::FakeFace face;
        face.currentFolder = face.programFolder = dir.Path();
        MainWindowWidget window(face, 1.0);
        ASSERT_TRUE(ShowActive(window));
        c.act(window);
        EXPECT_TRUE(c.seen(window, face));
    }
}

TEST(QtEvents, ClosingDuringARunAsksAndStaysOpenUntilTheStoppedRunEndsTheProgram) {
    test::TempDir dir;
    for (int i = 0; i < 5; ++i) test::WriteFile(dir / ("site/page" + std::to_string(i) + ".htm"), "<object></object>");
    ui::testing::FakeFace face;
    face.answers = {ui::Answer::Yes};
    MainWindowWidget window(face, 1.0);
    ASSERT_TRUE(ShowActive(window));
    face.chooserAnswers = {dir / "site"};
    QTest::mouseClick(window.Control(C::folderButton), Qt::LeftButton);
    // The run yields to the event loop: a close comes in once the progress
    // shows.
    bool closedDuringRun = false;
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (closedDuringRun || !window.Logic().Running() || !window.Control(C::progressBar)->isVisible()) return;
        closedDuringRun = true;
        EXPECT_FALSE(window.close()) << "the window stays while the run stops";
    });
    closer.start();
    QTest::mouseClick(window.Control(C::convertLink), Qt::LeftButton);
    closer.stop();
    EXPECT_TRUE(closedDuringRun);
    ASSERT_FALSE(face.boxes.empty());
    EXPECT_EQ(face.boxes[0].kind, ui::MessageKind::Question);
    EXPECT_EQ(window.Logic().LastResult().outcome, RunOutcome::Stopped);
    EXPECT_EQ(face.ended, 1) << "the logic ends the program once the run stopped";
    EXPECT_FALSE(window.Control(C::progressBar)->isVisible());
}

TEST(QtKeyboard, TheWindowOpensOnTheFolderPictureWithItsFrameAndTabsInTheDesignsOrder) {
    ui::testing::FakeFace face;
    MainWindowWidget window(face, 1.0);
    window.Start("");
    ASSERT_TRUE(ShowActive(window));
    QWidget* folder = window.Control(C::folderButton);
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
    QTest::qWaitFor([&] {
        return disclaimer.Logic().state() != ui::DisclaimerWindow::State::Shown || disclaimer.DontShowAgainTicked() != ticked;
    }, 1000);
}

TEST(QtKeyboard, DisclaimerEnterContinuesEscapeClosesAndAltKeysPressTheirControls) {
    struct Case {
        const char* name;
        std::function<void(DisclaimerWidget&)> act;
        ui::DisclaimerWindow::State state;
        bool ticked;
    };
    const std::vector<Case> cases = {
        {"Enter on the check box", [](DisclaimerWidget& d) { QTest::keyClick(d.Control(C::dontShowAgain), Qt::Key_Return); },
         ui::DisclaimerWindow::State::Gone, false},
        {"Escape", [](DisclaimerWidget& d) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); },
         ui::DisclaimerWindow::State::Ended, false},
        {"Alt+C", [](DisclaimerWidget& d) { AltKey(d, Qt::Key_C); },
         ui::DisclaimerWindow::State::Gone, false},
        {"Alt+X", [](DisclaimerWidget& d) { AltKey(d, Qt::Key_X); },
         ui::DisclaimerWindow::State::Ended, false},
        {"Alt+D then Enter", [](DisclaimerWidget& d) {
             AltKey(d, Qt::Key_D);
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); },
         ui::DisclaimerWindow::State::Gone, true},
        {"Enter on Exit presses Exit", [](DisclaimerWidget& d) {
             d.Control(C::exitButton)->setFocus();
             QTest::keyClick(d.Control(C::exitButton), Qt::Key_Return); },
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
        EXPECT_EQ(QApplication::focusWidget(), disclaimer.Control(C::dontShowAgain));
        c.act(disclaimer);
        EXPECT_EQ(disclaimer.Logic().state(), c.state);
        EXPECT_EQ(mains, c.state == ui::DisclaimerWindow::State::Gone ? 1 : 0);
        EXPECT_EQ(ends, c.state == ui::DisclaimerWindow::State::Ended ? 1 : 0);
        EXPECT_EQ(test::Exists(dir / ui::kMarkerName), c.ticked);
        EXPECT_FALSE(disclaimer.isVisible());
    }
}

// --- Accessibility ----------------------------------------------------------

QAccessible::Role ExpectedRole(ui::Role role) {
    switch (role) {
        case ui::Role::Button: return QAccessible::Button;
        case ui::Role::Link: return QAccessible::Link;
        case ui::Role::Text: return QAccessible::StaticText;
        case ui::Role::Status: return QAccessible::StatusBar;
        case ui::Role::CheckBox: return QAccessible::CheckBox;
        case ui::Role::ProgressBar: return QAccessible::ProgressBar;
        case ui::Role::None: break;
    }
    return QAccessible::NoRole;
}

template <typename Window>
void ExpectRolesAndNames(const ui::WindowDesign& design, Window& window) {
    for (const auto& [control, widget] : Widgets(design, window)) {
        if (control->role == ui::Role::None) continue;
        SCOPED_TRACE(control->name);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->role(), ExpectedRole(control->role));
        const char* name = control->accessibleName ? control->accessibleName : control->text;
        EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromUtf8(name));
        // Without a description of its own, a tooltip describes a control.
        const char* description = control->accessibleDescription ? control->accessibleDescription
                                  : control->tooltip               ? control->tooltip
                                                                   : "";
        EXPECT_EQ(accessible->text(QAccessible::Description), QString::fromUtf8(description));
        const bool actionable = control->role == ui::Role::Button || control->role == ui::Role::Link;
        QAccessibleActionInterface* actions = accessible->actionInterface();
        EXPECT_EQ(actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction()), actionable);
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
    QAccessible::queryAccessibleInterface(windows.main.Control(C::donateButton))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(windows.face.pages.size(), 1u);
}

TEST(QtAccessibility, TheStatusLineSaysWhatItShowsAndTheProgressIsAValue) {
    test::TempDir dir;
    for (int i = 0; i < 3; ++i) test::WriteFile(dir / ("site/page" + std::to_string(i) + ".htm"), "<object></object>");
    ui::testing::FakeFace face;
    MainWindowWidget window(face, 1.0);
    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(window.Control(C::statusLine));
    face.chooserAnswers = {dir / "site"};
    window.Logic().Activate(C::folderButton);
    long long lastValue = -1, lastMaximum = -1;
    QString statusAtSummary;
    face.onBox = [&](const ui::testing::Box&) {
        auto* bar = static_cast<QProgressBar*>(window.Control(C::progressBar));
        QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(bar)->valueInterface();
        lastValue = value->currentValue().toLongLong();
        lastMaximum = value->maximumValue().toLongLong();
        statusAtSummary = status->text(QAccessible::Name);
    };
    window.Logic().Activate(C::convertLink);
    EXPECT_EQ(lastValue, 3) << "the summary comes with the bar full";
    EXPECT_EQ(lastMaximum, 3);
    EXPECT_TRUE(statusAtSummary.startsWith(QString::fromUtf8(texts::kStatusCheckingFile))) << statusAtSummary.toStdString();
    EXPECT_EQ(status->text(QAccessible::Name), texts::kStatusConverted);
}

}  // namespace
}  // namespace tagshift::qt::testing
