// What only Qt shows of the design: every widget where the design puts it,
// with its text, tooltip, colour and font; every text inside its box at the
// user's text size; the design's colours under any theme.
#include <cmath>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include "tests/gui/GuiSupport.h"

namespace tagshift::qt::testing {
namespace {

QRect Expected(const ui::Rect& twips, double scale) {
    const int dpi = static_cast<int>(std::lround(96 * scale));
    return QRect(ui::TwipsToPixels(twips.left, dpi), ui::TwipsToPixels(twips.top, dpi),
                 ui::TwipsToPixels(twips.width, dpi), ui::TwipsToPixels(twips.height, dpi));
}

template <typename Window>
void ExpectAsDesigned(const ui::WindowDesign& design, Window& window, double scale) {
    const int dpi = static_cast<int>(std::lround(96 * scale));
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8(design.caption));
    EXPECT_EQ(window.size(),
              QSize(ui::TwipsToPixels(design.widthTwips, dpi), ui::TwipsToPixels(design.heightTwips, dpi)));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the layout is fixed";
    EXPECT_EQ(window.windowIcon().isNull(), design.icon == nullptr);
    for (const auto& [control, widget] : Widgets(design, window)) {
        SCOPED_TRACE(control->name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->objectName(), control->name);
        const QRect expected = Expected(control->twips, scale);
        EXPECT_EQ(widget->geometry(), expected);
        EXPECT_EQ(widget->toolTip(), QString::fromUtf8(control->tooltip ? control->tooltip : ""));
        EXPECT_EQ(widget->focusPolicy() != Qt::NoFocus, control->tabIndex >= 0);
        if (control->kind == ui::ControlKind::TextBox) {
            EXPECT_EQ(static_cast<QLineEdit*>(widget)->text(), control->text);
            EXPECT_GE(widget->y(), window.height()) << "the pattern box lies below the client area";
            continue;
        }
        if (control->kind == ui::ControlKind::ProgressBar) {
            EXPECT_TRUE(widget->isHidden()) << "seen only during a run";
            continue;
        }
        if (control->kind == ui::ControlKind::Line) continue;
        EXPECT_EQ(ShownText(widget), control->text);
        const QFont font =
            qobject_cast<ControlWidget*>(widget) ? static_cast<ControlWidget*>(widget)->TextFont() : widget->font();
        EXPECT_EQ(font.bold(), control->bold);
        // The design's points at the scale's resolution, never rounded up.
        const double pixels = control->pointSize100 / 100.0 * dpi / 72.0;
        EXPECT_LE(font.pixelSize(), pixels + 1e-9);
        EXPECT_GT(font.pixelSize(), pixels - 1);
        if (auto* item = qobject_cast<ControlWidget*>(widget)) {
            EXPECT_EQ(item->TextColour(),
                      QColor(control->textColour.red, control->textColour.green, control->textColour.blue));
            EXPECT_EQ(item->Picture().isNull(), control->picture == nullptr);
            EXPECT_FALSE(item->Underlined());
            EXPECT_FALSE(item->Bordered());
        }
    }
}

TEST(QtLayout, EveryWidgetStandsWhereTheDesignPutsItAtEveryTextSize) {
    for (double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        Windows windows(scale);
        ExpectAsDesigned(ui::MainWindowDesign(), windows.main, scale);
        ExpectAsDesigned(ui::DisclaimerDesign(), windows.disclaimer, scale);
    }
}

// The room a text needs inside its widget, and the room it has.
struct Room {
    QRect needed, box;
};

Room RoomOf(QWidget* widget) {
    if (auto* item = qobject_cast<ControlWidget*>(widget))
        return {QFontMetrics(item->TextFont())
                    .boundingRect(item->rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, item->Text()),
                item->rect()};
    // A button's or a check box's text goes in the room its style leaves
    // beside the indicator or inside the bevel.
    auto* button = qobject_cast<QAbstractButton*>(widget);
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const bool checkBox = qobject_cast<QCheckBox*>(button) != nullptr;
    const QRect box = button->style()->subElementRect(
        checkBox ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &option, button);
    const QRect text = QFontMetrics(button->font())
                           .boundingRect(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, button->text());
    return {text, box};
}

template <typename Window>
void ExpectEveryTextFits(const ui::WindowDesign& design, Window& window) {
    for (const auto& [control, widget] : Widgets(design, window)) {
        const bool showsText =
            *control->text && (control->kind == ui::ControlKind::Label || control->kind == ui::ControlKind::Button ||
                               control->kind == ui::ControlKind::CheckBox);
        if (!showsText) continue;
        SCOPED_TRACE(control->name);
        widget->ensurePolished();
        const Room room = RoomOf(widget);
        EXPECT_TRUE(room.box.contains(room.needed)) << "text " << room.needed.width() << "x" << room.needed.height()
                                                    << " in box " << room.box.width() << "x" << room.box.height();
        EXPECT_TRUE(window.rect().contains(room.needed.translated(widget->pos()))) << "the text stands in the window";
    }
}

TEST(QtLayout, EveryTextFitsItsBoxFromTheStandardSizeToTwiceIt) {
    for (double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        Windows windows(scale);
        ExpectEveryTextFits(ui::MainWindowDesign(), windows.main);
        ExpectEveryTextFits(ui::DisclaimerDesign(), windows.disclaimer);
    }
}

TEST(QtLayout, AStyleSheetsTextSizeClipsNoText) {
    qApp->setStyleSheet(QStringLiteral("* { font-size: 18px; }"));
    {
        Windows windows;
        ExpectEveryTextFits(ui::MainWindowDesign(), windows.main);
        ExpectEveryTextFits(ui::DisclaimerDesign(), windows.disclaimer);
    }
    qApp->setStyleSheet(QString());
}

TEST(QtLayout, TheTextScaleFollowsTheApplicationsFont) {
    const QFont original = QApplication::font();
    const struct {
        double points;
        double scale;
    } cases[] = {{kStandardPointSize, 1.0},
                 {kStandardPointSize * 1.5, 1.5},
                 {kStandardPointSize * 2, 2.0},
                 {kStandardPointSize * 3, 2.0},
                 {kStandardPointSize * 0.5, 1.0}};
    for (const auto& c : cases) {
        QFont font = original;
        font.setPointSizeF(c.points);
        QApplication::setFont(font);
        EXPECT_DOUBLE_EQ(SystemTextScale(), c.scale) << c.points;
    }
    QApplication::setFont(original);
}

QImage Picture(QWidget& window) {
    window.show();
    QCoreApplication::processEvents();
    return window.grab().toImage();
}

TEST(QtLayout, ADarkThemeChangesNothingInsideTheWindows) {
    QImage main, disclaimer;
    {
        Windows windows;
        main = Picture(windows.main);
        disclaimer = Picture(windows.disclaimer);
    }
    const QPalette original = QApplication::palette();
    QPalette dark;
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase,
                                     QPalette::ToolTipBase, QPalette::Light, QPalette::Midlight})
        dark.setColor(role, QColor(30, 30, 30));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText,
                                     QPalette::Dark, QPalette::Mid, QPalette::Shadow})
        dark.setColor(role, QColor(220, 220, 220));
    QApplication::setPalette(dark);
    {
        Windows windows;
        EXPECT_TRUE(Picture(windows.main) == main) << "the main window";
        EXPECT_TRUE(Picture(windows.disclaimer) == disclaimer) << "the disclaimer";
        // And the designed colours are what is seen: the disclaimer's
        // background, and its rule in the text colour.
        const ui::WindowDesign& design = ui::DisclaimerDesign();
        const QImage shot = Picture(windows.disclaimer);
        EXPECT_EQ(shot.pixelColor(1, 1), ToQColor(design.background));
        const QWidget* rule = windows.disclaimer.Control(ui::ControlId::Rule);
        EXPECT_EQ(shot.pixelColor(rule->geometry().center()),
                  ToQColor(ui::ControlOf(design, ui::ControlId::Rule).textColour));
    }
    // A style sheet on top, which makes every widget take the application's
    // palette: the main window and the paragraphs keep their colours.
    qApp->setStyleSheet(QStringLiteral("* { font-size: 18px; }"));
    {
        Windows windows;
        EXPECT_TRUE(Picture(windows.main) == main) << "the main window under a style sheet";
        const QImage shot = Picture(windows.disclaimer);
        for (const ui::Control& control : ui::DisclaimerDesign().controls)
            if (control.opaque) {
                const QRect box = windows.disclaimer.Control(control.id)->geometry();
                EXPECT_EQ(shot.pixelColor(box.right(), box.bottom()), ToQColor(ui::DisclaimerDesign().background))
                    << control.name;
            }
    }
    qApp->setStyleSheet(QString());
    QApplication::setPalette(original);
}

TEST(QtLayout, MnemonicsMarkTheFirstMatchingLetterInEitherCase) {
    const struct {
        const char* text;
        char mnemonic;
        const char* caption;
    } cases[] = {{"Exit", 'x', "E&xit"},
                 {"Continue", 'C', "&Continue"},
                 {"Continue", 'c', "&Continue"},
                 {"Exit", 0, "Exit"},
                 {"Exit", 'q', "Exit"}};
    for (const auto& c : cases) EXPECT_EQ(WithMnemonic(c.text, c.mnemonic), QString::fromLatin1(c.caption)) << c.text;
}

}  // namespace
}  // namespace tagshift::qt::testing
