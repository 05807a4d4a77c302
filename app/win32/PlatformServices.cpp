#include "app/win32/PlatformServices.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "app/win32/FaceText.h"
#include "app/win32/FileTypesBox.h"
#include "fs/Utf16.h"
#include "ui/MainWindow.h"

namespace tagshift::win32 {

namespace {

using fs::ToUtf16;
using fs::ToUtf8;

constexpr int kOpenFolderButton = 100;
constexpr int kSaveReportButton = 101;

// The common save dialog: without a hook or a template Windows shows it as
// its item dialog, and the name given is in its name box (which wine's item
// dialog leaves empty when asked through IFileSaveDialog).
std::optional<std::string> SaveWithCommonDialog(HWND owner, const ui::SaveRequest& request) {
    const std::wstring title = ToUtf16(request.title), folder = ToUtf16(request.folder);
    const std::wstring extension = ToUtf16(request.extension);
    std::wstring filter = ToUtf16(request.typeName) + L'\0' + L"*." + extension + L'\0';
    filter += L'\0';
    std::vector<wchar_t> path(32768, L'\0');
    const std::wstring name = ToUtf16(request.fileName);
    std::copy(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(std::min(name.size(), path.size() - 1)),
              path.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrInitialDir = folder.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_NOREADONLYRETURN | OFN_EXPLORER;
    if (!GetSaveFileNameW(&dialog)) return std::nullopt;
    return ToUtf8(path.data());
}

// The tests' record of launches: the file named by the variable, if any.
std::wstring LaunchRecord() {
    std::vector<wchar_t> value(32768);
    const DWORD length = GetEnvironmentVariableW(kRecordLaunchesVariable, value.data(), static_cast<DWORD>(value.size()));
    return length && length < value.size() ? std::wstring(value.data(), length) : std::wstring();
}

bool Record(const std::wstring& record, const char* kind, const std::string& program, const std::string& subject) {
    std::ofstream out(record.c_str(), std::ios::binary | std::ios::app);
    out << kind << '\t' << program << '\t' << subject << '\n';
    return static_cast<bool>(out);
}

std::optional<std::string> ChooseWithItemDialog(HWND owner, const std::wstring& title, bool* available) {
    IFileOpenDialog* dialog = nullptr;
    *available = SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                            reinterpret_cast<void**>(&dialog)));
    if (!*available) return std::nullopt;
    std::optional<std::string> chosen;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(title.c_str());
    if (SUCCEEDED(dialog->Show(owner))) {
        IShellItem* item = nullptr;
        if (SUCCEEDED(dialog->GetResult(&item))) {
            wchar_t* path = nullptr;
            if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path) {
                chosen = ToUtf8(path);
                CoTaskMemFree(path);
            }
            item->Release();
        }
    }
    dialog->Release();
    return chosen;
}

// The folder browser of older Windows, where the item dialog is missing.
std::optional<std::string> ChooseWithBrowser(HWND owner, const std::wstring& title) {
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&browse);
    if (!list) return std::nullopt;
    std::vector<wchar_t> path(32768);
    std::optional<std::string> chosen;
    if (SHGetPathFromIDListEx(list, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT))
        chosen = ToUtf8(path.data());
    CoTaskMemFree(list);
    return chosen;
}

// A box's text in the boxes' own font: broken into lines no wider than half
// the screen (a long path included, which the boxes would otherwise run off
// the screen with or cut off), with the width of its widest line and the
// font's dialog unit in pixels.
struct BoxText {
    std::wstring text;
    int widest = 0;
    int dialogUnitX = 1;
};

BoxText FitToScreen(const std::wstring& prompt, HWND owner) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner ? owner : GetDesktopWindow(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const int maxWidth = std::max(200L, (monitor.rcWork.right - monitor.rcWork.left) / 2);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    auto widthOf = [dc](const wchar_t* text, int length) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text, length, &size);
        return static_cast<int>(size.cx);
    };
    BoxText box;
    box.text = WrappedText(prompt, maxWidth, [&](wchar_t c) { return widthOf(&c, 1); });
    for (std::size_t start = 0; start <= box.text.size();) {
        std::size_t end = box.text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) end = box.text.size();
        box.widest = std::max(box.widest, widthOf(box.text.data() + start, static_cast<int>(end - start)));
        start = end + (box.text.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
    }
    const wchar_t* letters = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    box.dialogUnitX = std::max(1, (widthOf(letters, 52) / 26 + 1) / 2);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return box;
}

// The summary box through the task dialog of common controls 6.
bool SummaryWithTaskDialog(HWND owner, const std::wstring& title, const BoxText& prompt, ui::Answer* answer) {
    using TaskDialogFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
    HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    const auto taskDialog = controls ? reinterpret_cast<TaskDialogFunction>(
                                           reinterpret_cast<void*>(GetProcAddress(controls, "TaskDialogIndirect")))
                                     : nullptr;
    if (!taskDialog) return false;
    const std::wstring saveReport = ToUtf16(ui::windowTexts::kSaveReportButton);
    const TASKDIALOG_BUTTON buttons[] = {{kOpenFolderButton, kOpenFolderCaption},
                                         {kSaveReportButton, saveReport.c_str()}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszWindowTitle = title.c_str();
    config.pszMainIcon = TD_INFORMATION_ICON;
    config.pszContent = prompt.text.c_str();
    // Wide enough for the widest line beside the icon, in dialog units (4 to
    // the font's average character).
    config.cxWidth = static_cast<UINT>(MulDiv(prompt.widest + GetSystemMetrics(SM_CXICON), 4, prompt.dialogUnitX) + 40);
    config.cButtons = 2;
    config.pButtons = buttons;
    config.nDefaultButton = IDOK;
    int pressed = 0;
    if (FAILED(taskDialog(&config, &pressed, nullptr, nullptr))) return false;
    *answer = pressed == kOpenFolderButton   ? ui::Answer::OpenFolder
              : pressed == kSaveReportButton ? ui::Answer::SaveReport
                                             : ui::Answer::Ok;
    return true;
}

// Without the task dialog: a Yes / No / Cancel box whose buttons are
// renamed as it opens: "Open Folder", "Save Report...", OK. Cancel is OK,
// the default, so that Escape and the close box mean OK.
HHOOK renameHook = nullptr;

LRESULT CALLBACK RenameCancel(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const auto box = reinterpret_cast<HWND>(wParam);
        SetDlgItemTextW(box, IDYES, kOpenFolderCaption);
        SetDlgItemTextW(box, IDNO, ToUtf16(ui::windowTexts::kSaveReportButton).c_str());
        SetDlgItemTextW(box, IDCANCEL, L"OK");
        UnhookWindowsHookEx(renameHook);
        renameHook = nullptr;
        return 0;
    }
    return CallNextHookEx(renameHook, code, wParam, lParam);
}

ui::Answer SummaryWithMessageBox(HWND owner, const std::wstring& title, const std::wstring& prompt) {
    renameHook = SetWindowsHookExW(WH_CBT, RenameCancel, nullptr, GetCurrentThreadId());
    const int pressed =
        MessageBoxW(owner, prompt.c_str(), title.c_str(), MB_YESNOCANCEL | MB_ICONINFORMATION | MB_DEFBUTTON3);
    if (renameHook) {
        UnhookWindowsHookEx(renameHook);
        renameHook = nullptr;
    }
    return pressed == IDYES ? ui::Answer::OpenFolder : pressed == IDNO ? ui::Answer::SaveReport : ui::Answer::Ok;
}

bool ShellOpen(const wchar_t* verb, const std::wstring& target) {
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, verb, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

// Started as a command line typed at a prompt would be: a program without
// a folder is found on the search path.
bool StartProgram(const std::wstring& program, const std::wstring& argument) {
    std::wstring commandLine = QuotedArgument(program) + L" " + QuotedArgument(argument);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESHOWWINDOW;
    start.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t last = path.find_last_of(L"\\/");
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last);
}

}  // namespace

std::optional<std::string> PlatformServices::ChooseFolder(const std::string& title) {
    const std::wstring wideTitle = ToUtf16(title);
    bool available = false;
    std::optional<std::string> chosen = ChooseWithItemDialog(Owner(), wideTitle, &available);
    if (!available) chosen = ChooseWithBrowser(Owner(), wideTitle);
    return chosen;
}

void PlatformServices::ShowFileTypes(ui::FileTypesDialog& dialog) { RunFileTypesBox(dialog, Owner()); }
std::optional<std::string> PlatformServices::ChooseSaveFile(const ui::SaveRequest& request) {
    return SaveWithCommonDialog(Owner(), request);
}

ui::Answer PlatformServices::ShowMessage(ui::MessageKind kind, const std::string& title, const std::string& prompt) {
    const std::wstring wideTitle = ToUtf16(title);
    const BoxText box = FitToScreen(ToUtf16(prompt), Owner());
    const std::wstring& widePrompt = box.text;
    switch (kind) {
        case ui::MessageKind::Error:
            MessageBoxW(Owner(), widePrompt.c_str(), wideTitle.c_str(), MB_ICONSTOP | MB_OK);
            return ui::Answer::Ok;
        case ui::MessageKind::Information:
            MessageBoxW(Owner(), widePrompt.c_str(), wideTitle.c_str(), MB_ICONINFORMATION | MB_OK);
            return ui::Answer::Ok;
        case ui::MessageKind::Question:
            return MessageBoxW(Owner(), widePrompt.c_str(), wideTitle.c_str(),
                               MB_ICONQUESTION | MB_YESNO | MB_DEFBUTTON2) == IDYES
                       ? ui::Answer::Yes
                       : ui::Answer::No;
        case ui::MessageKind::Summary: {
            ui::Answer answer = ui::Answer::Ok;
            if (SummaryWithTaskDialog(Owner(), wideTitle, box, &answer)) return answer;
            return SummaryWithMessageBox(Owner(), wideTitle, widePrompt);
        }
    }
    return ui::Answer::Ok;
}

bool PlatformServices::Launch(const ui::LaunchStep& step) {
    if (const std::wstring record = LaunchRecord(); !record.empty()) {
        const char* kinds[] = {"StartProgram", "OpenAddress", "OpenFile"};
        return Record(record, kinds[static_cast<int>(step.kind)], step.program, step.subject);
    }
    const std::wstring subject = ToUtf16(step.subject);
    switch (step.kind) {
        case ui::LaunchStep::Kind::StartProgram: return StartProgram(ToUtf16(step.program), subject);
        case ui::LaunchStep::Kind::OpenAddress:
        case ui::LaunchStep::Kind::OpenFile: return ShellOpen(L"open", subject);
    }
    return false;
}

bool PlatformServices::OpenFolder(const std::string& path) {
    if (const std::wstring record = LaunchRecord(); !record.empty()) return Record(record, "OpenFolder", "", path);
    const std::wstring widePath = ToUtf16(path);
    return ShellOpen(L"explore", widePath) || ShellOpen(L"open", widePath);
}

std::string PlatformServices::CurrentFolder() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return std::string();
    std::vector<wchar_t> folder(size + 1);
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    return ToUtf8(std::wstring_view(folder.data(), length));
}

std::string PlatformServices::ProgramFolder() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) return ToUtf8(FolderOf(std::wstring(path.data(), length)));
        path.resize(path.size() * 2);
    }
}

long long PlatformServices::NowMilliseconds() { return static_cast<long long>(GetTickCount64()); }

void PlatformServices::EndProgram() { PostQuitMessage(0); }

std::string PlatformServices::ConfigFolder() {
    wchar_t* roaming = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &roaming)) && roaming)
        folder = ToUtf8(std::wstring(roaming) + L"\\Tagshift");
    CoTaskMemFree(roaming);
    return folder;
}

}  // namespace tagshift::win32
