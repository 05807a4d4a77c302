#include "app/qt/DisclaimerWidget.h"

#include <cmath>
#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace tagshift::qt {

namespace {

// The standard widgets' own style sheet, when they need one: a style sheet
// of the application could set its own text size on them, and the window's
// rules win over it; the check box's indicator grows with larger text.
// A widget with a style sheet takes its colours from it, so they are the
// design's too.
void KeepDesign(QWidget* widget, const ui::Control& control, const QFont& font, ui::Colour background,
                double textScale) {
    widget->setFont(font);
    const bool checkBox = control.kind == ui::ControlKind::CheckBox;
    const bool largerIndicator = checkBox && textScale > 1.0;
    if (qApp->styleSheet().isEmpty() && !largerIndicator) return;
    QString sheet = QStringLiteral("* { font-size: %1px; font-weight: %2; color: %3; }")
                        .arg(font.pixelSize())
                        .arg(font.bold() ? QStringLiteral("bold") : QStringLiteral("normal"))
                        .arg(ToQColor(control.textColour).name());
    if (control.kind == ui::ControlKind::Button)  // light, as the style draws them
        sheet += QStringLiteral(
                     " QPushButton { background-color: #efefef; border: 1px solid #8f8f8f; border-radius: 3px; "
                     "padding: 2px; }"
                     " QPushButton:default, QPushButton:focus { border: 2px solid %1; }")
                     .arg(ToQColor(ui::kFocusBlue).name());
    if (checkBox) {
        const int side = static_cast<int>(
            std::lround(textScale * widget->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget)));
        sheet +=
            QStringLiteral(" QCheckBox { background-color: %1; } QCheckBox::indicator { width: %2px; height: %2px; }")
                .arg(ToQColor(background).name())
                .arg(side);
    }
    widget->setStyleSheet(sheet);
}

}  // namespace

DisclaimerWidget::DisclaimerWidget(ui::StartUpPaths paths, ui::DisclaimerWindow::Actions actions, double textScale,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      design_(ui::DisclaimerDesign()),
      textScale_(textScale),
      logic_(*this, std::move(paths), std::move(actions)) {
    InstallAccessibility();
    setObjectName(QStringLiteral("disclaimer"));
    setWindowTitle(QString::fromUtf8(design_.caption));
    const int dpi = DotsPerInch(textScale_);
    setFixedSize(ui::TwipsToPixels(design_.widthTwips, dpi), ui::TwipsToPixels(design_.heightTwips, dpi));
    setPalette(DesignPalette(design_.background, ui::kBlack));
    setFont(DesignFont(design_.pointSize100, false, textScale_));

    for (const ui::Control& control : design_.controls) {
        QWidget* widget = nullptr;
        // The check box's text only just fits beside its indicator.
        const QFont font = DesignFont(control.pointSize100, control.bold, textScale_,
                                      control.kind == ui::ControlKind::CheckBox ? kStandInLetterSpacing : 100);
        switch (control.kind) {
            case ui::ControlKind::Label:
            case ui::ControlKind::Picture:
            case ui::ControlKind::Line:
                widget = new ControlWidget(control, design_.background, textScale_, 100, this);
                break;
            case ui::ControlKind::CheckBox: {
                dontShowAgain_ = new QCheckBox(WithMnemonic(control.text, control.mnemonic), this);
                dontShowAgain_->setBackgroundRole(QPalette::Window);  // not the button colour
                dontShowAgain_->setAutoFillBackground(control.opaque);
                widget = dontShowAgain_;
                break;
            }
            case ui::ControlKind::Button: {
                auto* button = new QPushButton(WithMnemonic(control.text, control.mnemonic), this);
                // Enter presses the focused button; elsewhere it is Continue.
                button->setAutoDefault(true);
                if (control.id == ui::ControlId::ContinueButton) button->setDefault(true);
                connect(button, &QPushButton::clicked, this, [this, id = control.id] {
                    if (id == ui::ControlId::ContinueButton)
                        Continue();
                    else
                        logic_.Exit();
                });
                widget = button;
                break;
            }
            case ui::ControlKind::TextBox:
            case ui::ControlKind::ProgressBar:
                continue;  // none in this window
        }
        widget->setObjectName(QString::fromLatin1(control.name));
        if (!qobject_cast<ControlWidget*>(widget)) {
            widget->setGeometry(PixelRect(control.twips, textScale_));
            KeepDesign(widget, control, font, design_.background, textScale_);
            widget->setAccessibleName(
                QString::fromUtf8(control.accessibleName ? control.accessibleName : control.text));
        }
        if (control.accessibleDescription)
            widget->setAccessibleDescription(QString::fromUtf8(control.accessibleDescription));
        widget->setFocusPolicy(control.tabIndex >= 0 ? Qt::StrongFocus : Qt::NoFocus);
        controls_[control.id] = widget;
    }
    const std::vector<ui::ControlId> order = ui::TabOrder(design_);
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(Control(order[i - 1]), Control(order[i]));
}

void DisclaimerWidget::Show() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void DisclaimerWidget::Unload() {
    unloading_ = true;
    close();
    unloading_ = false;
}

void DisclaimerWidget::Start() {
    WhileHandingOver([this] { logic_.Start(); });
}

void DisclaimerWidget::Continue() {
    WhileHandingOver([this] { logic_.Continue(); });
}

void DisclaimerWidget::WhileHandingOver(const std::function<void()>& step) {
    // Between the unload and the first showing of the main window no window
    // is open, and a command-line run in the main window's load may open and
    // close message boxes: none of that may end the program.
    const bool quitOnLastClosed = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    step();
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastClosed);
}

bool DisclaimerWidget::DontShowAgainTicked() { return dontShowAgain_->isChecked(); }

void DisclaimerWidget::SetFocus(ui::ControlId id) { Control(id)->setFocus(Qt::OtherFocusReason); }

void DisclaimerWidget::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), ToQColor(design_.background)); }

void DisclaimerWidget::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Continue is the default button, also from the check box.
            Continue();
            return;
        case Qt::Key_Escape:
            logic_.Closed();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void DisclaimerWidget::closeEvent(QCloseEvent* event) {
    // Closed through the frame: the logic ends the program.
    if (!unloading_) logic_.Closed();
    event->accept();
}

}  // namespace tagshift::qt
