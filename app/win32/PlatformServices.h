// The Windows services of the windows' logic: the folder chooser, message
// boxes, launches through the shell, the program's folders and the clock.
#pragma once

#include <windows.h>

#include "ui/Services.h"

namespace tagshift::win32 {

// The summary box's second button.
inline constexpr const wchar_t* kOpenFolderCaption = L"Open Folder";
// For the tests: while this variable names a file, every launch and folder
// opened is appended to it as a line ("kind<TAB>program<TAB>subject",
// UTF-8) instead of being made.
inline constexpr const wchar_t* kRecordLaunchesVariable = L"TAGSHIFT_RECORD_LAUNCHES";

class PlatformServices : public ui::Services {
public:
    // The window that owns the boxes and the chooser (none: the desktop).
    void SetOwner(HWND owner) { owner_ = owner; }
    HWND Owner() const { return owner_ && IsWindow(owner_) ? owner_ : nullptr; }

    std::optional<std::string> ChooseFolder(const std::string& title) override;
    std::optional<std::string> ChooseSaveFile(const ui::SaveRequest& request) override;
    ui::Answer ShowMessage(ui::MessageKind kind, const std::string& title, const std::string& prompt) override;
    void ShowFileTypes(ui::FileTypesDialog& dialog) override;
    bool Launch(const ui::LaunchStep& step) override;
    bool OpenFolder(const std::string& path) override;
    std::string CurrentFolder() override;
    std::string ProgramFolder() override;
    long long NowMilliseconds() override;
    void EndProgram() override;

    // %APPDATA%\Tagshift; empty when Windows names no such folder.
    static std::string ConfigFolder();

private:
    HWND owner_ = nullptr;
};

}  // namespace tagshift::win32
