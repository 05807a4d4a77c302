// The "File types" dialog in Qt: opened from the window by click and by
// keyboard, worked with keys and clicks, and what its acts change.
#include <functional>

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "TestSupport.h"
#include "app/qt/FileTypesWidget.h"
#include "tests/gui/GuiSupport.h"

namespace tagshift::qt::testing {
namespace {

using C = ui::ControlId;
using F = ui::FileTypesControl;
using DialogAct = std::function<void(FileTypesWidget&)>;

DialogAct Type(const char* text) {
    return [text](FileTypesWidget& d) {
        QWidget* field = d.Control(F::Patterns);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, QString::fromUtf8(text));
    };
}
DialogAct Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return [=](FileTypesWidget& d) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &d, key, modifiers);
    };
}
// A mnemonic presses its control as a short animation: wait for it.
DialogAct AltTick(Qt::Key key, F box) {
    return [=](FileTypesWidget& d) {
        QTest::keyClick(&d, key, Qt::AltModifier);
        (void)QTest::qWaitFor([&] { return qobject_cast<QCheckBox*>(d.Control(box))->isChecked(); }, 2000);
    };
}
DialogAct ClickOn(F id) {
    return [id](FileTypesWidget& d) { QTest::mouseClick(d.Control(id), Qt::LeftButton); };
}

TEST(QtFileTypes, OpenedByClickOrKeysItSetsTheNextRunOnOkAndNothingOnCancelOrEscape) {
    const ui::RunSettings kDefault;
    struct Case {
        const char* name;
        std::function<void(MainWindowWidget&)> open;
        std::vector<DialogAct> acts;
        ui::RunSettings settings;
        const char* status;
    };
    const std::vector<Case> cases = {
        {"click, type, Alt+A, click the noscript box, Enter",
         [](MainWindowWidget& w) { QTest::mouseClick(w.Control(C::FileTypesLabel), Qt::LeftButton); },
         {Type("*.HTM"), AltTick(Qt::Key_A, F::AnyCase), ClickOn(F::Noscript), Press(Qt::Key_Return)},
         {"*.HTM", true, true},
         "Progress: File types: *.HTM"},
        {"Alt+F, type, Alt+A, Escape",
         [](MainWindowWidget& w) { QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier); },
         {Type("*.cfm"), AltTick(Qt::Key_A, F::AnyCase), Press(Qt::Key_Escape)},
         kDefault,
         ""},
        {"Tab to the link, Space, type, Cancel",
         [](MainWindowWidget& w) {
             w.Control(C::InfoLink)->setFocus();
             QTest::keyClick(w.Control(C::InfoLink), Qt::Key_Tab);
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
         },
         {Type("*.cfm"), ClickOn(F::Cancel)},
         kDefault,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::WriteFile(dir / "site/PAGE.HTM", "<body><OBJECT></OBJECT>");
        ui::testing::FakeFace face;
        MainWindowWidget window(face, 1.0);
        ASSERT_TRUE(ShowActive(window));
        bool seen = false;
        face.onFileTypes = [&](ui::FileTypesDialog& dialog) {
            QTimer::singleShot(0, [&] {
                auto* shown = qobject_cast<FileTypesWidget*>(QApplication::activeModalWidget());
                if (!shown) return;
                seen = QTest::qWaitForWindowActive(shown);
                EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == shown->Control(F::Patterns); }, 2000))
                    << "the list has the focus";
                for (const DialogAct& act : c.acts) act(*shown);
                if (shown->isVisible()) {
                    ADD_FAILURE() << "the dialog is still open";
                    shown->done(QDialog::Rejected);
                }
            });
            FileTypesWidget::Run(dialog, &window);
        };
        c.open(window);
        EXPECT_TRUE(seen);
        EXPECT_EQ(window.Logic().Settings(), c.settings);
        if (*c.status) EXPECT_EQ(window.DesignControl(C::StatusLine)->Text(), QString::fromUtf8(c.status));
        EXPECT_EQ(window.focusWidget(), window.Control(C::FileTypesLabel));
        // The run's request carries the three settings.
        face.chooserAnswers = {dir / "site"};
        QTest::mouseClick(window.Control(C::FolderButton), Qt::LeftButton);
        QTest::mouseClick(window.Control(C::ConvertButton), Qt::LeftButton);
        const ConversionResult& result = window.Logic().LastResult();
        ASSERT_EQ(result.pagesConverted, c.settings.anyCase ? 1 : 0);
        if (result.pagesConverted) {
            ASSERT_EQ(result.pages.at(0).blocks.size(), 1u);
            EXPECT_TRUE(result.pages.at(0).blocks.at(0).fallback);
        }
    }
}

TEST(QtFileTypes, TheFieldsAreNamedByTheirLabelsAndOkIsTheDefault) {
    ui::FileTypesDialog logic(ui::RunSettings{"html", false, false});
    FileTypesWidget dialog(logic, nullptr);
    const struct {
        F id;
        const char* name;
    } rows[] = {
        {F::Patterns, "Page patterns:"},
        {F::AnyCase, "Also convert names and tags in capital letters (INDEX.HTM, <OBJECT>)"},
        {F::Noscript, "Keep each block for visitors without script (<noscript>)"},
        {F::Ok, "OK"},
        {F::Cancel, "Cancel"},
        {F::Restore, "Restore defaults"},
    };
    for (const auto& row : rows) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(dialog.Control(row.id));
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromUtf8(row.name));
    }
    EXPECT_TRUE(qobject_cast<QPushButton*>(dialog.Control(F::Ok))->isDefault());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("File types"));
    EXPECT_EQ(qobject_cast<QLabel*>(dialog.Control(F::Warning))->text(),
              QStringLiteral("`html` selects every name that ends in `ml`; did you mean `*.html`?"));
}

}  // namespace
}  // namespace tagshift::qt::testing
