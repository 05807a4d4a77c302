// The "File types" dialog's behaviour: which pages a run converts, whether
// it reads capital letters, whether it keeps a <noscript> copy of each
// block. A face builds the dialog's widgets from FileTypesDesign(), in the
// system's dialog font and metrics, forwards the user's acts here and
// changes its widgets as it is told through FileTypesView.
#pragma once

#include <string>
#include <vector>

#include "ui/RunSettings.h"

namespace tagshift::ui {

namespace fileTypesTexts {
inline constexpr const char* kCaption = "File types";
inline constexpr const char* kPatterns = "Page patterns:";
inline constexpr const char* kRule = "A page is converted when its name ends with the text after `*.`";
inline constexpr const char* kAnyCase = "Also convert names and tags in capital letters (INDEX.HTM, <OBJECT>)";
inline constexpr const char* kNoscript = "Keep each block for visitors without script (<noscript>)";
inline constexpr const char* kOk = "OK";
inline constexpr const char* kCancel = "Cancel";
inline constexpr const char* kRestore = "Restore defaults";
// The main window's status line after OK with a list of the user's own.
inline constexpr const char* kStatusFileTypes = "Progress: File types: ";
}  // namespace fileTypesTexts

enum class FileTypesControl { PatternsLabel, Patterns, Rule, Warning, AnyCase, Noscript, Ok, Cancel, Restore };

enum class FileTypesKind { Label, TextBox, CheckBox, Button };

// A control of the dialog, top to bottom and left to right, which is its
// tab order. A label names the control after it for a screen reader.
struct FileTypesItem {
    FileTypesControl id;
    const char* name;  // the widget's object name
    FileTypesKind kind;
    const char* text;
    char mnemonic = 0;  // Alt + this letter; 0: none
};

const std::vector<FileTypesItem>& FileTypesDesign();
const FileTypesItem& FileTypesItemOf(FileTypesControl id);

// What a face's dialog can be told to change.
class FileTypesView {
public:
    virtual ~FileTypesView() = default;
    virtual void SetPatterns(const std::string& text) = 0;
    virtual void SetChecked(FileTypesControl id, bool checked) = 0;
    // The warnings below the list, one a line; empty: none.
    virtual void SetWarning(const std::string& text) = 0;
    virtual void SetFocus(FileTypesControl id) = 0;
    // An error box owned by the dialog.
    virtual void ShowError(const std::string& title, const std::string& prompt) = 0;
    // Ends the modal dialog.
    virtual void Close() = 0;
};

class FileTypesDialog {
public:
    explicit FileTypesDialog(const RunSettings& current) : settings_(current) {}

    // The face's dialog exists: its fields get the current settings.
    void Shown(FileTypesView& view);
    // The user changed the list (every key) or a check box.
    void PatternsEdited(const std::string& text);
    void Toggled(FileTypesControl id, bool checked);
    // OK, Cancel or "Restore defaults" pressed; Escape and the close box are
    // Cancel, Enter is OK.
    void Activate(FileTypesControl id);

    bool Accepted() const { return accepted_; }
    // The settings as the fields show them; after OK, the next runs'.
    const RunSettings& Settings() const { return settings_; }
    // The main window's status line after OK: empty for the default list
    // and when the dialog was cancelled.
    std::string StatusText() const;

private:
    void ShowAll();

    FileTypesView* view_ = nullptr;
    RunSettings settings_;
    bool accepted_ = false;
};

}  // namespace tagshift::ui
