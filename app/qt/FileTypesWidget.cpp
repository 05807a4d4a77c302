#include "app/qt/FileTypesWidget.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/qt/DesignWidgets.h"

namespace tagshift::qt {

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

FileTypesWidget::FileTypesWidget(ui::FileTypesDialog& logic, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), logic_(logic) {
    using C = ui::FileTypesControl;
    setObjectName(QStringLiteral("fileTypesDialog"));
    setWindowTitle(QString::fromUtf8(ui::fileTypesTexts::kCaption));
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QDialogButtonBox(this);
    QLabel* label = nullptr;
    for (const ui::FileTypesItem& item : ui::FileTypesDesign()) {
        const QString text = WithMnemonic(item.text, item.mnemonic);
        QWidget* widget = nullptr;
        switch (item.kind) {
            case ui::FileTypesKind::Label: {
                auto* shown = new QLabel(text, this);
                shown->setTextFormat(Qt::PlainText);
                shown->setWordWrap(true);
                if (item.id == C::PatternsLabel) label = shown;
                if (item.id == C::Warning) warning_ = shown;
                widget = shown;
                layout->addWidget(widget);
                break;
            }
            case ui::FileTypesKind::TextBox:
                patterns_ = new QLineEdit(this);
                patterns_->setMinimumWidth(patterns_->fontMetrics().averageCharWidth() * 48);
                patterns_->setAccessibleName(QString::fromUtf8(item.text));
                if (label) label->setBuddy(patterns_);
                connect(patterns_, &QLineEdit::textEdited,
                        [this](const QString& edited) { logic_.PatternsEdited(edited.toUtf8().toStdString()); });
                widget = patterns_;
                layout->addWidget(widget);
                break;
            case ui::FileTypesKind::CheckBox: {
                auto* box = new QCheckBox(text, this);
                connect(box, &QCheckBox::toggled, [this, id = item.id](bool on) { logic_.Toggled(id, on); });
                widget = box;
                layout->addWidget(widget);
                break;
            }
            case ui::FileTypesKind::Button: {
                const QDialogButtonBox::ButtonRole role = item.id == C::Ok       ? QDialogButtonBox::AcceptRole
                                                          : item.id == C::Cancel ? QDialogButtonBox::RejectRole
                                                                                 : QDialogButtonBox::ResetRole;
                QPushButton* button = buttons->addButton(text, role);
                button->setDefault(item.id == C::Ok);
                button->setAutoDefault(false);
                connect(button, &QPushButton::clicked, [this, id = item.id] { logic_.Activate(id); });
                widget = button;
                break;
            }
        }
        widget->setObjectName(QString::fromLatin1(item.name));
        controls_[item.id] = widget;
    }
    // The rule and the warnings are read after the field they explain.
    patterns_->setAccessibleDescription(QString::fromUtf8(ui::fileTypesTexts::kRule));
    layout->addSpacing(style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing));
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Tab order: the design's, the buttons in their own order last.
    QWidget* previous = nullptr;
    for (const ui::FileTypesItem& item : ui::FileTypesDesign()) {
        QWidget* widget = controls_[item.id];
        if (widget->focusPolicy() == Qt::NoFocus) continue;
        if (previous) setTabOrder(previous, widget);
        previous = widget;
    }
    logic_.Shown(*this);
}

void FileTypesWidget::Run(ui::FileTypesDialog& logic, QWidget* owner) {
    FileTypesWidget dialog(logic, owner);
    dialog.exec();
}

void FileTypesWidget::SetPatterns(const std::string& text) { patterns_->setText(FromUtf8(text)); }

void FileTypesWidget::SetChecked(ui::FileTypesControl id, bool checked) {
    if (auto* box = qobject_cast<QCheckBox*>(controls_.at(id))) {
        const QSignalBlocker quiet(box);  // the logic set it; it needs no word back
        box->setChecked(checked);
    }
}

void FileTypesWidget::SetWarning(const std::string& text) {
    warning_->setText(FromUtf8(text));
    warning_->setVisible(!text.empty());
}

void FileTypesWidget::SetFocus(ui::FileTypesControl id) { controls_.at(id)->setFocus(Qt::OtherFocusReason); }

void FileTypesWidget::ShowError(const std::string& title, const std::string& prompt) {
    QMessageBox::critical(this, FromUtf8(title), FromUtf8(prompt));
}

void FileTypesWidget::Close() {
    closing_ = true;
    done(logic_.Accepted() ? QDialog::Accepted : QDialog::Rejected);
}

void FileTypesWidget::reject() {
    if (closing_) {
        QDialog::reject();
        return;
    }
    logic_.Activate(ui::FileTypesControl::Cancel);
}

}  // namespace tagshift::qt
