#include "app/qt/DesignWidgets.h"

#include <cmath>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>

namespace tagshift::qt {

double SystemTextScale() {
    const QFont font = QApplication::font();
    double points = font.pointSizeF();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dotsPerInch = screen ? screen->logicalDotsPerInch() : 96.0;
    if (points <= 0) points = font.pixelSize() * 72.0 / dotsPerInch;
    return ui::TextScale(points * dotsPerInch / 96.0, kStandardPointSize);
}

int DotsPerInch(double textScale) { return static_cast<int>(std::lround(96.0 * textScale)); }

QRect PixelRect(const ui::Rect& twips, double textScale) {
    const int dpi = DotsPerInch(textScale);
    return QRect(ui::TwipsToPixels(twips.left, dpi), ui::TwipsToPixels(twips.top, dpi),
                 ui::TwipsToPixels(twips.width, dpi), ui::TwipsToPixels(twips.height, dpi));
}

QColor ToQColor(ui::Colour colour) { return QColor(colour.red, colour.green, colour.blue); }

QFont DesignFont(int pointSize100, bool bold, double textScale, int letterSpacingPercent) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    // Pixels, so that the text keeps fitting the layout whatever the
    // screen's resolution: 8.25 pt is 11 pixels at 96 dots per inch. Rounded
    // down: the text never grows faster than the boxes it stands in.
    font.setPixelSize(static_cast<int>(std::floor(pointSize100 / 100.0 * DotsPerInch(textScale) / 72.0 + 1e-9)));
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    if (letterSpacingPercent != 100) font.setLetterSpacing(QFont::PercentageSpacing, letterSpacingPercent);
    return font;
}

QPalette DesignPalette(ui::Colour background, ui::Colour text) {
    const QPalette standard = QApplication::style()->standardPalette();
    QPalette palette;
    for (int group = 0; group < QPalette::NColorGroups; ++group)
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto g = static_cast<QPalette::ColorGroup>(group);
            const auto r = static_cast<QPalette::ColorRole>(role);
            palette.setBrush(g, r, standard.brush(g, r));
        }
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        const auto g = static_cast<QPalette::ColorGroup>(group);
        palette.setColor(g, QPalette::Window, ToQColor(background));
        palette.setColor(g, QPalette::WindowText, ToQColor(text));
        palette.setColor(g, QPalette::Base, ToQColor(ui::kWhite));
        palette.setColor(g, QPalette::Text, ToQColor(ui::kBlack));
        palette.setColor(g, QPalette::Button, QColor(239, 239, 239));
        palette.setColor(g, QPalette::ButtonText, ToQColor(ui::kBlack));
    }
    return palette;
}

QString WithMnemonic(const char* text, char mnemonic) {
    QString caption = QString::fromUtf8(text);
    if (mnemonic == 0) return caption;
    const int at = static_cast<int>(caption.indexOf(QChar::fromLatin1(mnemonic), 0, Qt::CaseInsensitive));
    if (at >= 0) caption.insert(at, QLatin1Char('&'));
    return caption;
}

// --- The control ------------------------------------------------------------

ControlWidget::ControlWidget(const ui::Control& control, ui::Colour background, double textScale,
                             int letterSpacingPercent, QWidget* parent)
    : QWidget(parent),
      control_(control),
      text_(QString::fromUtf8(control.text)),
      font_(DesignFont(control.pointSize100, control.bold, textScale, letterSpacingPercent)),
      colour_(ToQColor(control.textColour)),
      background_(ToQColor(background)) {
    setObjectName(QString::fromLatin1(control.name));
    setGeometry(PixelRect(control.twips, textScale));
    setFont(font_);
    if (control.picture) {
        const QPixmap picture(QStringLiteral(":/tagshift/") + QString::fromLatin1(control.picture));
        // The picture grows with the layout, smoothly; at the standard size
        // it is drawn as it is.
        picture_ = textScale == 1.0
                       ? picture
                       : picture.scaled(picture.size() * textScale, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (control.tooltip) setToolTip(QString::fromUtf8(control.tooltip));
    setFocusPolicy(control.tabIndex >= 0 ? Qt::StrongFocus : Qt::NoFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_NoMousePropagation);
    // The status line's name is always its current text (see Announce).
    if (control.role != ui::Role::Status)
        setAccessibleName(QString::fromUtf8(control.accessibleName ? control.accessibleName : control.text));
    if (control.accessibleDescription) setAccessibleDescription(QString::fromUtf8(control.accessibleDescription));
    if (control.opaque) setAttribute(Qt::WA_OpaquePaintEvent);
}

void ControlWidget::SetText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    // A text that names itself ("No Directory Chosen", a folder's path) is
    // its own accessible name. The status line's changes are announced by
    // the logic's rhythm, not at every repaint.
    if (!control_.accessibleName && control_.role != ui::Role::Status) setAccessibleName(text);
    update();
}

void ControlWidget::SetUnderline(bool underline) {
    if (font_.underline() == underline) return;
    font_.setUnderline(underline);
    update();
}

void ControlWidget::SetBorder(bool border) {
    if (border_ == border) return;
    border_ = border;
    update();
}

void ControlWidget::Activate() {
    if (isEnabled() && onActivate) onActivate();
}

void ControlWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The colours are the design's own, never the palette's: a theme or a
    // style sheet changes nothing here.
    if (control_.opaque) painter.fillRect(rect(), background_);
    if (control_.kind == ui::ControlKind::Line) painter.fillRect(rect(), colour_);  // a rule
    if (!picture_.isNull()) painter.drawPixmap(0, 0, picture_);
    if (!text_.isEmpty()) {
        painter.setFont(font_);
        painter.setPen(colour_);
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text_);
    }
    if (border_) {
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void PaintFocusFrame(QWidget& window, QPainter& painter) {
    // Around the control, in the window: the frame covers neither text nor
    // picture, and it shows from the start, not only after the first Tab.
    const auto* focus = qobject_cast<const ControlWidget*>(window.focusWidget());
    if (!focus || focus->parentWidget() != &window || !focus->isVisible()) return;
    const int width = ControlWidget::kFocusFrameWidth;
    const QRectF frame = QRectF(focus->geometry()).adjusted(-width / 2.0, -width / 2.0, width / 2.0, width / 2.0);
    painter.save();
    painter.setPen(QPen(ToQColor(ui::kFocusBlue), width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame);
    painter.restore();
}

void ControlWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    if (focusPolicy() != Qt::NoFocus) setFocus(Qt::MouseFocusReason);
    event->accept();
}

void ControlWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is no second click.
    pressed_ = false;
    event->accept();
}

void ControlWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const bool click = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) Activate();
}

void ControlWidget::mouseMoveEvent(QMouseEvent* event) {
    if (onPointer) onPointer();
    event->accept();
}

void ControlWidget::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool activates = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    if (activates && !event->isAutoRepeat() && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        Activate();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ControlWidget::focusInEvent(QFocusEvent* event) {
    if (parentWidget()) parentWidget()->update();
    QWidget::focusInEvent(event);
}

void ControlWidget::focusOutEvent(QFocusEvent* event) {
    if (parentWidget()) parentWidget()->update();
    QWidget::focusOutEvent(event);
}

// --- Accessibility ----------------------------------------------------------

namespace {

QAccessible::Role AccessibleRole(ui::Role role) {
    switch (role) {
        case ui::Role::Button:
            return QAccessible::Button;
        case ui::Role::Link:
            return QAccessible::Link;
        case ui::Role::Text:
            return QAccessible::StaticText;
        case ui::Role::Status:
            return QAccessible::StatusBar;
        case ui::Role::CheckBox:
            return QAccessible::CheckBox;
        case ui::Role::ProgressBar:
            return QAccessible::ProgressBar;
        case ui::Role::None:
            break;
    }
    return QAccessible::NoRole;
}

QAccessible::Role AccessibleRole(const ui::Control& control) {
    // A rule is a separator, which screen readers pass over.
    if (control.kind == ui::ControlKind::Line) return QAccessible::Separator;
    return AccessibleRole(control.role);
}

bool Actionable(ui::Role role) { return role == ui::Role::Button || role == ui::Role::Link; }

class ControlAccessible : public QAccessibleWidget {
public:
    explicit ControlAccessible(ControlWidget* control)
        : QAccessibleWidget(control, AccessibleRole(control->Design())) {}

    ControlWidget* Control() const { return static_cast<ControlWidget*>(widget()); }

    QString text(QAccessible::Text t) const override {
        // The status line's name is the stage last announced, its value
        // what it shows now (a stage or the file being checked).
        if (t == QAccessible::Name && Control()->Design().role == ui::Role::Status) return Control()->Announcement();
        if (t == QAccessible::Value && Control()->Design().role == ui::Role::Status) return Control()->Text();
        if (t == QAccessible::Accelerator && Control()->Design().mnemonic)
            return QStringLiteral("Alt+") + QChar::fromLatin1(Control()->Design().mnemonic).toUpper();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (Actionable(Control()->Design().role) && Control()->isEnabled()) names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& actionName) override {
        if (actionName == pressAction() && Actionable(Control()->Design().role))
            Control()->Activate();
        else
            QAccessibleWidget::doAction(actionName);
    }

    QStringList keyBindingsForAction(const QString& actionName) const override {
        if (actionName == pressAction()) return {QStringLiteral("Return"), QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(actionName);
    }
};

QAccessibleInterface* DesignAccessibleFactory(const QString& key, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (key == QLatin1String("tagshift::qt::ControlWidget"))
        return new ControlAccessible(static_cast<ControlWidget*>(widget));
    if (key == QLatin1String("tagshift::qt::MainWindowWidget"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (key == QLatin1String("tagshift::qt::DisclaimerWidget"))
        return new QAccessibleWidget(widget, QAccessible::Dialog);
    return nullptr;
}

}  // namespace

void InstallAccessibility() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(DesignAccessibleFactory);
}

}  // namespace tagshift::qt
