#include "ui/FileTypes.h"

#include <stdexcept>

#include "convert/Conversion.h"
#include "convert/RunTexts.h"
#include "ui/MainWindow.h"

namespace tagshift::ui {

using namespace fileTypesTexts;

const std::vector<FileTypesItem>& FileTypesDesign() {
    using C = FileTypesControl;
    using K = FileTypesKind;
    static const std::vector<FileTypesItem> design = {
        {C::PatternsLabel, "patternsLabel", K::Label, kPatterns, 'P'},
        {C::Patterns, "patterns", K::TextBox, kPatterns},
        {C::Rule, "rule", K::Label, kRule},
        {C::Warning, "warning", K::Label, ""},
        {C::AnyCase, "anyCase", K::CheckBox, kAnyCase, 'A'},
        {C::Noscript, "noscript", K::CheckBox, kNoscript, 'K'},
        {C::Restore, "restoreDefaults", K::Button, kRestore, 'R'},
        {C::Ok, "ok", K::Button, kOk},
        {C::Cancel, "cancel", K::Button, kCancel},
    };
    return design;
}

const FileTypesItem& FileTypesItemOf(FileTypesControl id) {
    for (const FileTypesItem& item : FileTypesDesign())
        if (item.id == id) return item;
    throw std::out_of_range("no such control in the file types dialog");
}

void FileTypesDialog::Shown(FileTypesView& view) {
    view_ = &view;
    ShowAll();
    view_->SetFocus(FileTypesControl::Patterns);
}

void FileTypesDialog::ShowAll() {
    view_->SetPatterns(settings_.patterns);
    view_->SetChecked(FileTypesControl::AnyCase, settings_.anyCase);
    view_->SetChecked(FileTypesControl::Noscript, settings_.noscript);
    PatternsEdited(settings_.patterns);
}

void FileTypesDialog::PatternsEdited(const std::string& text) {
    settings_.patterns = text;
    std::string warning;
    for (const std::string& line : PatternWarnings(text)) warning += (warning.empty() ? "" : "\n") + line;
    if (view_) view_->SetWarning(warning);
}

void FileTypesDialog::Toggled(FileTypesControl id, bool checked) {
    if (id == FileTypesControl::AnyCase) settings_.anyCase = checked;
    if (id == FileTypesControl::Noscript) settings_.noscript = checked;
}

void FileTypesDialog::Activate(FileTypesControl id) {
    if (!view_) return;
    switch (id) {
        case FileTypesControl::Ok:
            // Refused here in the run's own words, not later by the run.
            if (!PatternListUsable(settings_.patterns)) {
                view_->ShowError(windowTexts::kTitleError, texts::kErrorNoPattern);
                view_->SetFocus(FileTypesControl::Patterns);
                return;
            }
            accepted_ = true;
            view_->Close();
            break;
        case FileTypesControl::Cancel:
            accepted_ = false;
            view_->Close();
            break;
        case FileTypesControl::Restore:
            settings_ = RunSettings{};
            ShowAll();
            break;
        default: break;
    }
}

std::string FileTypesDialog::StatusText() const {
    if (!accepted_ || settings_.patterns == texts::kDefaultPatterns) return {};
    return kStatusFileTypes + settings_.patterns;
}

}  // namespace tagshift::ui
