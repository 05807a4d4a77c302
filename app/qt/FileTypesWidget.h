// The "File types" dialog in Qt: the application's own font, a layout with
// the style's spacing, and every act forwarded to ui::FileTypesDialog.
#pragma once

#include <map>

#include <QDialog>

#include "ui/FileTypes.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tagshift::qt {

class FileTypesWidget : public QDialog, public ui::FileTypesView {
    Q_OBJECT
public:
    FileTypesWidget(ui::FileTypesDialog& logic, QWidget* owner);

    // Shows it modal to owner until OK or Cancel closes it.
    static void Run(ui::FileTypesDialog& logic, QWidget* owner);

    QWidget* Control(ui::FileTypesControl id) const { return controls_.at(id); }

    // ui::FileTypesView
    void SetPatterns(const std::string& text) override;
    void SetChecked(ui::FileTypesControl id, bool checked) override;
    void SetWarning(const std::string& text) override;
    void SetFocus(ui::FileTypesControl id) override;
    void ShowError(const std::string& title, const std::string& prompt) override;
    void Close() override;

    // Escape and the close box: the logic's Cancel.
    void reject() override;

private:
    ui::FileTypesDialog& logic_;
    std::map<ui::FileTypesControl, QWidget*> controls_;
    QLineEdit* patterns_ = nullptr;
    QLabel* warning_ = nullptr;
    bool closing_ = false;
};

}  // namespace tagshift::qt
