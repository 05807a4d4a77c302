// What both Qt windows build from the design table: the clickable control
// that draws its own text or picture (so that neither a theme nor a style
// sheet changes it), the fonts and palettes of the design at the user's text
// size, and the accessibility of these controls.
#pragma once

#include <functional>
#include <string>

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <QWidget>

class QPainter;

#include "ui/Design.h"

namespace tagshift::qt {

// The system text size that the design's 8.25 pt text matches: 9 pt, the
// standard size of Qt's own default font and of Windows.
inline constexpr double kStandardPointSize = 9.0;

// Liberation Sans, the usual stand-in for MS Sans Serif, is a little wider:
// its letters are set 2 % closer where a text only just fits.
inline constexpr int kStandInLetterSpacing = 98;

// How much larger than the design the user's text is: the application
// font's size, as points at 96 dots per inch, against the standard size
// (1.0 to 2.0). A font DPI of 192 and an 18 pt font both give 2.0.
double SystemTextScale();

// The design's layout at a text scale: 96 dots per inch times the scale
// (Qt scales the whole window for high-DPI screens by itself).
int DotsPerInch(double textScale);
QRect PixelRect(const ui::Rect& twips, double textScale);

QColor ToQColor(ui::Colour colour);

// The windows' font at a design size: MS Sans Serif where it is installed,
// otherwise a sans-serif face of similar width, in pixels for the scale.
QFont DesignFont(int pointSize100, bool bold, double textScale, int letterSpacingPercent = 100);

// A palette that is the same whatever the theme: the style's own light
// palette, with the window and text roles set to the design's colours in
// every colour group.
QPalette DesignPalette(ui::Colour background, ui::Colour text);

// The underlined letter of a caption: "&" before the first letter that
// matches the mnemonic, in either case ("E&xit"); the text unchanged when
// there is none.
QString WithMnemonic(const char* text, char mnemonic);

// A picture or a text of the design that the user can point at, click and
// (when it is a tab stop) activate with Enter or Space. It paints its text
// with its own font and colour; its window paints the focus frame
// (PaintFocusFrame).
class ControlWidget : public QWidget {
    Q_OBJECT
public:
    // background: the window's colour, which an opaque control fills its
    // box with.
    ControlWidget(const ui::Control& control, ui::Colour background, double textScale, int letterSpacingPercent,
                  QWidget* parent);

    const ui::Control& Design() const { return control_; }
    QString Text() const { return text_; }
    void SetText(const QString& text);
    // What a screen reader was last told of this control (the status line's
    // stages); empty: the text itself.
    QString Announcement() const { return announcement_.isEmpty() ? text_ : announcement_; }
    void SetAnnouncement(const QString& text) { announcement_ = text; }
    void SetUnderline(bool underline);
    bool Underlined() const { return font_.underline(); }
    void SetBorder(bool border);
    bool Bordered() const { return border_; }
    const QFont& TextFont() const { return font_; }
    const QPixmap& Picture() const { return picture_; }
    QColor TextColour() const { return colour_; }

    // Clicks, Enter and Space, and the accessible press action.
    std::function<void()> onActivate;
    // The pointer moved over it.
    std::function<void()> onPointer;
    void Activate();

    static constexpr int kFocusFrameWidth = 2;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    const ui::Control& control_;
    QString text_;
    QString announcement_;
    QFont font_;
    QColor colour_;
    QColor background_;
    QPixmap picture_;
    bool border_ = false;
    bool pressed_ = false;
};

// The frame of the design's focus colour around the window's focused
// control, kFocusFrameWidth pixels wide, just outside its box. A window
// draws it in its paint event.
void PaintFocusFrame(QWidget& window, QPainter& painter);

// Teaches Qt's accessibility the roles of the design: the control widgets
// as buttons, links, texts and the status bar, the windows as a window and
// a dialog. Call once, after the application object is made.
void InstallAccessibility();

}  // namespace tagshift::qt
