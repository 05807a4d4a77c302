// Drives tagshift.exe from outside, as a user and a screen reader would:
// starts it, finds its windows, presses its controls, types keys, reads
// names through MSAA, and checks what the windows' design and logic say.
//
// window_driver <tagshift.exe> <work folder> <site folder> <reference folder>
// The work folder gets one fresh program folder per start-up case (the skip
// marker lives beside the program). The site folder is converted from the
// command line and compared with the reference folder, which the headless
// converter wrote from a copy of the same site.
#include <windows.h>

#include <oleacc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/ControlWindow.h"
#include "app/win32/FileTypesBox.h"
#include "app/win32/Drops.h"
#include "app/win32/MainFrame.h"
#include "app/win32/PlatformServices.h"
#include "fs/Utf16.h"
#include "ui/Design.h"
#include "ui/Disclaimer.h"
#include "ui/FileTypes.h"
#include "ui/MainWindow.h"

namespace {

using namespace tagshift;
using ui::ControlId;
namespace stdfs = std::filesystem;

// How long a condition may take to come true: generous, as a loaded
// machine needs, and spent only when something is wrong. Nothing waits for
// a fixed time.
constexpr int kTimeoutMs = 90000;

int passed = 0, failed = 0;

bool Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    (ok ? passed : failed)++;
    return ok;
}

std::wstring Wide(const char* text) { return fs::ToUtf16(text ? text : ""); }
std::string Narrow(const std::wstring& text) { return fs::ToUtf8(text); }

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = kTimeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

std::wstring WindowText(HWND window) {
    wchar_t text[4096] = L"";
    GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return text;
}

// What a control of another process holds (an edit keeps its text to
// itself: GetWindowText does not ask it).
std::wstring ControlText(HWND control) {
    wchar_t text[4096] = L"";
    SendMessageW(control, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
    return text;
}

// A program under test: started, and ended by the driver if it outlives its case.
class Program {
public:
    Program(const std::wstring& exe, const std::wstring& arguments) {
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!arguments.empty()) commandLine += L" " + arguments;
        STARTUPINFOW start{};
        start.cb = sizeof start;
        started_ = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start,
                                  &process_) != FALSE;
    }
    ~Program() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    bool Started() const { return started_; }
    bool Ended(int timeoutMs) const { return WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0; }

    // A visible top-level window of the program with this caption (and
    // this class, when one is named); hidden ones too when asked.
    HWND Window(const std::wstring& caption, const wchar_t* className = nullptr, bool hiddenToo = false) const {
        struct Search {
            DWORD processId;
            const std::wstring* caption;
            const wchar_t* className;
            bool hiddenToo;
            HWND found;
        } search{process_.dwProcessId, &caption, className, hiddenToo, nullptr};
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner != s->processId || (!s->hiddenToo && !IsWindowVisible(window)) ||
                    WindowText(window) != *s->caption)
                    return TRUE;
                wchar_t name[64] = L"";
                GetClassNameW(window, name, 64);
                if (s->className && lstrcmpiW(name, s->className) != 0) return TRUE;
                s->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND WaitWindow(const std::wstring& caption, const wchar_t* className = nullptr, int timeoutMs = kTimeoutMs) const {
        HWND found = nullptr;
        WaitFor([&] { return (found = Window(caption, className)) != nullptr; }, timeoutMs);
        return found;
    }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

HWND Child(HWND window, ControlId id) { return GetDlgItem(window, win32::WindowIdOf(id)); }

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

struct Accessible {
    bool found = false;
    std::wstring name;
    std::wstring value;
    long role = 0;
};

Accessible AccessibleOf(HWND window) {
    Accessible result;
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&object))) ||
        !object)
        return result;
    result.found = true;
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(self, &name)) && name) {
        result.name = name;
        SysFreeString(name);
    }
    BSTR value = nullptr;
    if (SUCCEEDED(object->get_accValue(self, &value)) && value) {
        result.value = value;
        SysFreeString(value);
    }
    VARIANT role;
    VariantInit(&role);
    if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) result.role = role.lVal;
    object->Release();
    return result;
}

// What a screen reader must hear each control as.
long ExpectedRole(ControlId id) {
    static const std::map<ControlId, long> roles = {
        {ControlId::IntroText, ROLE_SYSTEM_STATICTEXT},
        {ControlId::FolderHeading, ROLE_SYSTEM_STATICTEXT},
        {ControlId::FolderButton, ROLE_SYSTEM_PUSHBUTTON},
        {ControlId::FolderName, ROLE_SYSTEM_PUSHBUTTON},
        {ControlId::ConvertHeading, ROLE_SYSTEM_STATICTEXT},
        {ControlId::ConvertButton, ROLE_SYSTEM_PUSHBUTTON},
        {ControlId::ConvertLink, ROLE_SYSTEM_PUSHBUTTON},
        {ControlId::DonateHeading, ROLE_SYSTEM_STATICTEXT},
        {ControlId::DonateButton, ROLE_SYSTEM_LINK},
        {ControlId::InfoText, ROLE_SYSTEM_STATICTEXT},
        {ControlId::InfoLink, ROLE_SYSTEM_LINK},
        {ControlId::FileTypesText, ROLE_SYSTEM_STATICTEXT},
        {ControlId::FileTypesLabel, ROLE_SYSTEM_PUSHBUTTON},
        {ControlId::HelpLink, ROLE_SYSTEM_LINK},
        {ControlId::StatusLine, ROLE_SYSTEM_STATUSBAR},
        {ControlId::ProgressBar, ROLE_SYSTEM_PROGRESSBAR},
        {ControlId::DontShowAgain, ROLE_SYSTEM_CHECKBUTTON},
        {ControlId::ContinueButton, ROLE_SYSTEM_PUSHBUTTON},
        {ControlId::ExitButton, ROLE_SYSTEM_PUSHBUTTON},
    };
    const auto found = roles.find(id);
    return found == roles.end() ? -1 : found->second;
}

std::wstring ExpectedName(const ui::Control& control) {
    return Wide(control.accessibleName ? control.accessibleName : control.text);
}

// Presses a key, or a modifier and a key, in the foreground window, as the
// keyboard would.
void PressKey(WORD key, WORD withKey = 0) {
    std::vector<WORD> keys{key};
    if (withKey) keys.push_back(withKey);
    std::vector<INPUT> inputs;
    for (WORD k : keys) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = k;
        inputs.push_back(down);
    }
    for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
        INPUT up{};
        up.type = INPUT_KEYBOARD;
        up.ki.wVk = *k;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(up);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Keys go to the focus of the window in front: a key is pressed only once
// the window is in front and the control has the focus.
bool FocusConfirmed(HWND window, HWND control) {
    return WaitFor([&] {
        if (GetForegroundWindow() != window) SetForegroundWindow(window);
        return GetForegroundWindow() == window && FocusOf(window) == control;
    });
}

// A click that does not wait for what it opens (a modal box, the chooser).
void Click(HWND control) { PostMessageW(control, BM_CLICK, 0, 0); }

bool HasProperty(HWND window, const wchar_t* name) { return GetPropW(window, name) != nullptr; }

std::wstring Prepared(const std::wstring& folder, const std::wstring& exe) {
    std::error_code error;
    stdfs::remove_all(folder, error);
    stdfs::create_directories(folder, error);
    const std::wstring copy = folder + L"\\tagshift.exe";
    CopyFileW(exe.c_str(), copy.c_str(), FALSE);
    return copy;
}

// The files of a tree, relative to it, without the log (it names the
// folder it was written for).
std::vector<stdfs::path> FilesOf(const stdfs::path& root) {
    std::vector<stdfs::path> files;
    std::error_code error;
    for (auto it = stdfs::recursive_directory_iterator(root, error);
         !error && it != stdfs::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file() && it->path().filename() != stdfs::u8path(texts::kLogFileName))
            files.push_back(stdfs::relative(it->path(), root));
    std::sort(files.begin(), files.end());
    return files;
}

bool SameTrees(const stdfs::path& a, const stdfs::path& b, std::string* difference) {
    const std::vector<stdfs::path> files = FilesOf(a);
    if (files.empty() || files != FilesOf(b)) {
        *difference = "the trees hold other files (" + std::to_string(files.size()) + " against " +
                      std::to_string(FilesOf(b).size()) + ")";
        return false;
    }
    for (const stdfs::path& file : files) {
        std::ifstream left(a / file, std::ios::binary), right(b / file, std::ios::binary);
        const std::string leftBytes{std::istreambuf_iterator<char>(left), {}};
        const std::string rightBytes{std::istreambuf_iterator<char>(right), {}};
        if (!left || !right || leftBytes != rightBytes) {
            *difference = Narrow(file.wstring());
            return false;
        }
    }
    return true;
}

// A site of many copies of one page, so that a run lasts long enough to be
// interrupted.
bool WriteLargeSite(const std::wstring& page, const std::wstring& folder, int pages) {
    std::ifstream in(stdfs::path(page), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::error_code error;
    stdfs::remove_all(folder, error);
    if (bytes.empty() || !stdfs::create_directories(folder, error)) return false;
    for (int i = 0; i < pages; ++i) {
        std::ofstream out(stdfs::path(folder) / ("page" + std::to_string(i) + ".html"), std::ios::binary);
        out << bytes;
        if (!out) return false;
    }
    return true;
}

const std::wstring kDisclaimer = Wide(ui::DisclaimerDesign().caption);
const std::wstring kMain = Wide(ui::MainWindowDesign().caption);

// The client area is the design's size at the window's dpi, enlarged by
// at most the design's text scale (when the user's text is larger), and
// every control stands where the design puts it at that same dpi.
void CheckLayout(HWND window, const ui::WindowDesign& design) {
    // The window's dpi; wine may answer another process's window with the
    // system's old one, so the screen's counts too.
    HDC screen = GetDC(nullptr);
    const int screenDpi = std::max(static_cast<int>(GetDpiForWindow(window)), GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    RECT client;
    GetClientRect(window, &client);
    int dpi = 0;
    for (int candidate = screenDpi; candidate <= 2 * screenDpi && dpi == 0; ++candidate)
        if (client.right == ui::TwipsToPixels(design.widthTwips, candidate) &&
            client.bottom == ui::TwipsToPixels(design.heightTwips, candidate))
            dpi = candidate;
    bool same = dpi != 0;
    std::string wrong =
        same ? "" : "the client area (" + std::to_string(client.right) + " x " + std::to_string(client.bottom) + ") ";
    for (const ui::Control& control : design.controls) {
        HWND child = Child(window, control.id);
        RECT rect{};
        if (child) {
            GetWindowRect(child, &rect);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        }
        const ui::Rect& twips = control.twips;
        const bool placed = child && rect.left == ui::TwipsToPixels(twips.left, dpi) &&
                            rect.top == ui::TwipsToPixels(twips.top, dpi) &&
                            rect.right - rect.left == ui::TwipsToPixels(twips.width, dpi) &&
                            rect.bottom - rect.top == std::max(1, ui::TwipsToPixels(twips.height, dpi));
        if (!placed) wrong += std::string(control.name) + " ";
        same = same && placed;
    }
    Check(same, std::string(design.caption) + ": laid out from the design on a " + std::to_string(screenDpi) +
                    " dpi screen (at " + std::to_string(dpi) + ")" + (same ? "" : "; misplaced: " + wrong));
}

// The disclaimer on a fresh profile: its controls, its keys, and Continue.
HWND DisclaimerThenMainWindow(Program& program, bool tick) {
    HWND disclaimer = program.WaitWindow(kDisclaimer);
    if (!Check(disclaimer != nullptr, "a fresh start shows the disclaimer")) return nullptr;
    const ui::WindowDesign& design = ui::DisclaimerDesign();
    HWND box = Child(disclaimer, ControlId::DontShowAgain);
    HWND next = Child(disclaimer, ControlId::ContinueButton);
    Check(WaitFor([&] { return FocusOf(disclaimer) == box; }), "the disclaimer starts with the focus on its box");
    Check((GetWindowLongPtrW(next, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON, "Continue is the default button");
    CheckLayout(disclaimer, design);
    for (ControlId id : {ControlId::DontShowAgain, ControlId::ContinueButton, ControlId::ExitButton}) {
        const ui::Control& control = ui::ControlOf(design, id);
        const std::wstring caption = WindowText(Child(disclaimer, id));
        const std::size_t mark = caption.find(L'&');
        const bool marked = mark != std::wstring::npos && mark + 1 < caption.size() &&
                            towlower(caption[mark + 1]) == towlower(static_cast<wchar_t>(control.mnemonic));
        Check(marked, std::string(control.name) + " carries its Alt letter: " + Narrow(caption));
        const Accessible accessible = AccessibleOf(Child(disclaimer, id));
        Check(accessible.name == ExpectedName(control) && accessible.role == ExpectedRole(control.id),
              std::string(control.name) + " is read as \"" + Narrow(accessible.name) + "\", role " +
                  std::to_string(accessible.role));
    }
    // From the keyboard: Space ticks the box, then Alt+C continues; without
    // the tick, Enter presses the default button.
    bool keyboard = Check(FocusConfirmed(disclaimer, box), "the disclaimer takes the keyboard");
    if (tick) {
        if (keyboard) PressKey(VK_SPACE);
        Check(WaitFor([&] { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }), "Space ticks the box");
        keyboard = keyboard && FocusConfirmed(disclaimer, box);
    }
    const char* how = tick ? "Alt+C" : "Enter";
    if (!keyboard) {
        Click(next);
    } else if (tick) {
        PressKey(VK_MENU, 'C');
    } else {
        PressKey(VK_RETURN);
    }
    HWND main = program.WaitWindow(kMain);
    Check(main != nullptr, std::string(how) + " continues to the main window");
    Check(WaitFor([&] { return program.Window(kDisclaimer) == nullptr; }), "the disclaimer is gone");
    return main;
}

void CheckTabOrderAndNames(HWND main) {
    const ui::WindowDesign& design = ui::MainWindowDesign();
    const std::vector<ControlId> order = ui::TabOrder(design);
    Check(WaitFor([&] { return FocusOf(main) == Child(main, order.front()); }),
          "the main window starts with the focus on " + std::string(ui::ControlOf(design, order.front()).name));
    for (ControlId id : order) {
        const ui::Control& control = ui::ControlOf(design, id);
        HWND child = Child(main, id);
        const Accessible accessible = AccessibleOf(child);
        Check(child && (GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP) && accessible.name == ExpectedName(control) &&
                  accessible.role == ExpectedRole(control.id),
              std::string(control.name) + " is a tab stop read as \"" + Narrow(accessible.name) + "\"");
    }
    // What takes no focus is read too: the texts, the status line, the progress bar.
    for (const ui::Control& control : design.controls) {
        if (control.tabIndex >= 0 || control.role == ui::Role::None) continue;
        const Accessible accessible = AccessibleOf(Child(main, control.id));
        Check(accessible.name == ExpectedName(control) && accessible.role == ExpectedRole(control.id),
              std::string(control.name) + " is read as \"" + Narrow(accessible.name).substr(0, 40) + "\", role " +
                  std::to_string(accessible.role));
    }
    Check(!IsWindowVisible(Child(main, ControlId::ProgressBar)), "the progress bar is hidden between runs");
    // Tab walks the design's order and comes round to the start.
    if (!Check(FocusConfirmed(main, Child(main, order.front())), "the main window takes the keyboard")) return;
    std::string walked;
    bool inOrder = true;
    for (std::size_t step = 1; step <= order.size() && inOrder; ++step) {
        if (step > 1 && !FocusConfirmed(main, Child(main, order[step - 1]))) break;
        PressKey(VK_TAB);
        HWND expected = Child(main, order[step % order.size()]);
        const bool moved = WaitFor([&] { return FocusOf(main) == expected; });
        walked += std::string(moved ? "" : "!") + ui::ControlOf(design, order[step % order.size()]).name + " ";
        inOrder = moved;
    }
    Check(inOrder, "Tab walks the design's tab order: " + walked);
}

void CheckHover(HWND main) {
    using win32::kBorderProperty;
    using win32::kUnderlineProperty;
    HWND link = Child(main, ControlId::ConvertLink);
    HWND folder = Child(main, ControlId::FolderName);
    HWND donate = Child(main, ControlId::DonateButton);
    PostMessageW(Child(main, ControlId::ConvertButton), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    Check(WaitFor([&] { return HasProperty(link, kUnderlineProperty); }),
          "the pointer on the Convert picture underlines the Convert link");
    PostMessageW(Child(main, ControlId::FolderButton), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    PostMessageW(donate, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    Check(WaitFor([&] { return HasProperty(folder, kUnderlineProperty) && HasProperty(donate, kBorderProperty); }),
          "the folder picture underlines the folder name; the Donate picture gets its border");
    PostMessageW(main, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    Check(WaitFor([&] {
              return !HasProperty(link, kUnderlineProperty) && !HasProperty(folder, kUnderlineProperty) &&
                     !HasProperty(donate, kBorderProperty);
          }),
          "the pointer on the background takes every hover mark away");
}

// The chooser of the folder picture, opened with Enter: the path typed into
// its name box.
void CheckChooser(Program& program, HWND main, const std::wstring& folder) {
    HWND picture = Child(main, ControlId::FolderButton);
    const bool keyboard = FocusConfirmed(main, picture);
    if (keyboard)
        PressKey(VK_RETURN);
    else
        Click(picture);
    const std::wstring title = Wide(ui::windowTexts::kChooserTitle);
    HWND chooser = program.WaitWindow(title);
    if (!Check(chooser != nullptr && keyboard, "Enter on the folder picture opens the chooser")) return;
    HWND nameBox = nullptr;
    WaitFor([&] {
        EnumChildWindows(
            chooser,
            [](HWND child, LPARAM data) -> BOOL {
                wchar_t className[64] = L"";
                GetClassNameW(child, className, 64);
                if (lstrcmpiW(className, L"Edit") != 0 || !IsWindowVisible(child)) return TRUE;
                *reinterpret_cast<HWND*>(data) = child;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&nameBox));
        return nameBox != nullptr;
    });
    if (!Check(nameBox != nullptr, "the chooser has a name box")) return;
    HWND folderName = Child(main, ControlId::FolderName);
    // Open on a typed folder may first go into it; a second Open takes it.
    for (int attempt = 0; attempt < 3 && program.Window(title); ++attempt) {
        const std::wstring typed = attempt == 0 ? folder : L"";
        SendMessageW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
        PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(chooser, IDOK)));
        // Open takes the folder (the chooser closes) or goes into it (the
        // name box is emptied for the next Open). The box is asked for its
        // text: the text its window keeps is not the box's, and taking that
        // for an emptied box would empty it again before the chooser has
        // read the folder.
        WaitFor([&] { return program.Window(title) == nullptr || ControlText(nameBox) != typed; });
    }
    Check(program.Window(title) == nullptr, "the chooser closes on Open");
    Check(WaitFor([&] { return WindowText(folderName) == folder; }),
          "the chosen folder is taken: " + Narrow(WindowText(folderName)));
}

// Types text into the focused control, character by character.
void TypeText(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text)
        for (DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | up;
            inputs.push_back(input);
        }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Tab until the control has the focus; false when a round of the window's
// tab order does not reach it.
bool TabTo(HWND main, ControlId id) {
    HWND target = Child(main, id);
    for (std::size_t step = 0; step <= ui::TabOrder(ui::MainWindowDesign()).size(); ++step) {
        HWND focus = FocusOf(main);
        if (focus == target) return FocusConfirmed(main, target);
        if (!FocusConfirmed(main, focus)) return false;
        PressKey(VK_TAB);
        WaitFor([&] { return FocusOf(main) != focus; }, 5000);
    }
    return false;
}

HWND DialogItem(HWND dialog, ui::FileTypesControl id) { return GetDlgItem(dialog, win32::FileTypesItemId(id)); }

bool Ticked(HWND dialog, ui::FileTypesControl id) {
    return SendMessageW(DialogItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The "File types" dialog from the keyboard only: Alt+F, Space and Enter on
// the link open it; typing, Alt letters, Enter and Escape work it; the run
// that follows converts with what OK took.
void CheckFileTypes(Program& program, HWND main, const std::wstring& site) {
    using F = ui::FileTypesControl;
    const std::wstring caption = Wide(ui::fileTypesTexts::kCaption);
    HWND link = Child(main, ControlId::FileTypesLabel);
    HWND status = Child(main, ControlId::StatusLine);
    Check(WindowText(link) == L"Change &file types", "the link carries its Alt letter");
    if (!Check(FocusConfirmed(main, FocusOf(main)), "the main window takes the keyboard")) return;
    PressKey(VK_MENU, 'F');
    HWND dialog = program.WaitWindow(caption, L"#32770");
    if (!Check(dialog != nullptr, "Alt+F opens the File types dialog")) return;
    HWND field = DialogItem(dialog, F::Patterns);
    Check(WaitFor([&] { return FocusOf(dialog) == field; }) &&
              ControlText(field) == Wide(texts::kDefaultPatterns),
          "it opens on the pattern list: " + Narrow(ControlText(field)));
    Check(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)) == IDOK, "OK is its default button");
    for (F id : {F::Patterns, F::AnyCase, F::Noscript, F::Ok, F::Cancel, F::Restore}) {
        const Accessible accessible = AccessibleOf(DialogItem(dialog, id));
        Check(accessible.name == Wide(ui::FileTypesItemOf(id).text),
              std::string(ui::FileTypesItemOf(id).name) + " is read as \"" + Narrow(accessible.name) + "\"");
    }
    // The whole list is selected on entry: typing replaces it.
    if (!FocusConfirmed(dialog, field)) return;
    TypeText(L"html");
    HWND warning = DialogItem(dialog, F::Warning);
    Check(WaitFor([&] { return ControlText(warning).find(L"did you mean `*.html`?") != std::wstring::npos; }),
          "a piece without *. is warned of: " + Narrow(ControlText(warning)));
    PressKey(VK_SHIFT, VK_HOME);
    PressKey(VK_DELETE);
    WaitFor([&] { return ControlText(field).empty(); });
    PressKey(VK_RETURN);
    HWND refusal = program.WaitWindow(Wide(ui::windowTexts::kTitleError), L"#32770");
    Check(refusal != nullptr && program.Window(caption) != nullptr, "OK on an empty list is refused");
    if (refusal) {
        PressKey(VK_RETURN);
        WaitFor([&] { return program.Window(Wide(ui::windowTexts::kTitleError)) == nullptr; });
    }
    if (!FocusConfirmed(dialog, field)) return;
    TypeText(L"*.HTM");
    PressKey(VK_MENU, 'A');
    Check(WaitFor([&] { return Ticked(dialog, F::AnyCase); }), "Alt+A ticks capital letters");
    PressKey(VK_MENU, 'K');
    Check(WaitFor([&] { return Ticked(dialog, F::Noscript); }), "Alt+K ticks the <noscript> copy");
    PressKey(VK_RETURN);
    Check(WaitFor([&] { return program.Window(caption) == nullptr; }), "Enter is OK: the dialog closes");
    Check(WaitFor([&] { return AccessibleOf(status).value == L"Progress: File types: *.HTM"; }),
          "the status line shows the list: " + Narrow(AccessibleOf(status).value));
    Check(WaitFor([&] { return FocusOf(main) == link; }), "the focus comes back to the link");

    // Space opens it again on what OK took; Escape drops what changed there.
    if (FocusConfirmed(main, link)) PressKey(VK_SPACE);
    dialog = program.WaitWindow(caption, L"#32770");
    if (!Check(dialog != nullptr, "Space on the link opens the dialog")) return;
    field = DialogItem(dialog, F::Patterns);
    Check(ControlText(field) == L"*.HTM" && Ticked(dialog, F::AnyCase) && Ticked(dialog, F::Noscript),
          "it shows the settings OK took");
    if (FocusConfirmed(dialog, field)) PressKey(VK_MENU, 'R');
    Check(WaitFor([&] { return ControlText(field) == Wide(texts::kDefaultPatterns) && !Ticked(dialog, F::AnyCase); }),
          "Alt+R restores the defaults in the dialog");
    PressKey(VK_ESCAPE);
    Check(WaitFor([&] { return program.Window(caption) == nullptr; }), "Escape closes it");
    if (FocusConfirmed(main, link)) PressKey(VK_RETURN);
    dialog = program.WaitWindow(caption, L"#32770");
    if (Check(dialog != nullptr, "Enter on the link opens the dialog")) {
        Check(ControlText(DialogItem(dialog, F::Patterns)) == L"*.HTM" && Ticked(dialog, F::AnyCase),
              "Escape kept the settings as they were");
        FocusConfirmed(dialog, DialogItem(dialog, F::Patterns));
        PressKey(VK_ESCAPE);
        WaitFor([&] { return program.Window(caption) == nullptr; });
    }

    // The run takes them: the capital page is converted, with its <noscript> copy.
    if (!Check(TabTo(main, ControlId::FolderButton), "Tab reaches the folder picture")) return;
    CheckChooser(program, main, site);
    if (!Check(TabTo(main, ControlId::ConvertButton), "Tab reaches Convert")) return;
    PressKey(VK_RETURN);
    HWND summary = program.WaitWindow(Wide(ui::windowTexts::kTitleComplete));
    if (!Check(summary != nullptr, "Enter on Convert runs")) return;
    std::ifstream page(stdfs::path(site + L"_Converted") / L"PAGE.HTM", std::ios::binary);
    const std::string converted{std::istreambuf_iterator<char>(page), std::istreambuf_iterator<char>()};
    Check(converted.find("InsertObject1()") != std::string::npos &&
              converted.find("<noscript><OBJECT></OBJECT></noscript>") != std::string::npos,
          "the run converted PAGE.HTM with its <noscript> copy: " + converted.substr(0, 120));
    Click(GetDlgItem(summary, IDOK));
    WaitFor([&] { return program.Window(Wide(ui::windowTexts::kTitleComplete)) == nullptr; });
}

// The text of a box's child that starts with prefix, its lines joined.
std::wstring BoxText(HWND box, const std::wstring& prefix) {
    struct Search {
        const std::wstring* prefix;
        std::wstring found;
    } search{&prefix, L""};
    EnumChildWindows(
        box,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            std::wstring text = WindowText(child);
            for (std::size_t at; (at = text.find(L"\r\n")) != std::wstring::npos;) text.erase(at, 2);
            if (text.rfind(*s->prefix, 0) != 0) return TRUE;
            s->found = text;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Drops the paths on the window through its test entry.
void Drop(HWND window, const std::vector<std::wstring>& paths) {
    std::wstring list;
    for (const std::wstring& path : paths) list += path + L'\0';
    COPYDATASTRUCT data{win32::kTestDropMark, static_cast<DWORD>(list.size() * sizeof(wchar_t)), list.data()};
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kTimeoutMs, &answer);
}

// A folder dropped on the window is chosen as the folder label chooses it;
// a dropped file is refused with a box and changes nothing.
void CheckDrops(Program& program, HWND main, const std::wstring& folder, const std::wstring& file) {
    HWND folderName = Child(main, ControlId::FolderName);
    HWND status = Child(main, ControlId::StatusLine);
    Drop(main, {folder});
    // The status line shows its text as its value (its name is the stage announced).
    Check(WaitFor([&] {
              return WindowText(folderName) == folder &&
                     AccessibleOf(status).value == Wide(ui::windowTexts::kStatusDirectorySelected);
          }),
          "a folder dropped on the window is chosen: " + Narrow(WindowText(folderName)) + ", \"" +
              Narrow(AccessibleOf(status).value) + "\"");
    Drop(main, {file});
    HWND box = program.WaitWindow(kMain, L"#32770");
    const std::wstring refusal = Wide(ui::windowTexts::kDropNotAFolder);
    const std::wstring shown = box ? BoxText(box, refusal.substr(0, 20)) : L"";
    Check(shown == refusal + file, "a dropped file is refused: " + Narrow(shown));
    if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
    Check(WaitFor([&] { return program.Window(kMain, L"#32770") == nullptr; }) && WindowText(folderName) == folder,
          "the refusal closes and the chosen folder stays");
}

void CloseMain(Program& program, HWND main, const std::string& what);

// A visible child of the class whose text passes the test.
HWND FindChild(HWND parent, const wchar_t* className, const std::function<bool(const std::wstring&)>& test) {
    struct Search {
        const wchar_t* className;
        const std::function<bool(const std::wstring&)>* test;
        HWND found;
    } search{className, &test, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t name[64] = L"";
            GetClassNameW(child, name, 64);
            if (lstrcmpiW(name, s->className) != 0 || !IsWindowVisible(child) || !(*s->test)(WindowText(child)))
                return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string ReadBytes(const stdfs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string{std::istreambuf_iterator<char>(in), {}};
}

// "Save Report..." on the summary box: the save dialog starts beside the
// converted tree with the report's name, the report is written where the
// user says and opened (the launch recorded, not made).
void CheckSaveReport(Program& program, const std::wstring& site, const std::wstring& saved,
                     const std::wstring& launches) {
    HWND summary = program.WaitWindow(Wide(ui::windowTexts::kTitleComplete));
    const std::wstring caption = Wide(ui::windowTexts::kSaveReportButton);
    HWND button = summary ? FindChild(summary, L"Button", [&](const std::wstring& text) { return text == caption; })
                          : nullptr;
    if (!Check(button != nullptr, "the summary box offers Save Report...")) return;
    Click(button);
    HWND dialog = program.WaitWindow(Wide(ui::windowTexts::kSaveReportTitle));
    const std::wstring name = stdfs::path(site).filename().wstring() + L"_Converted-report.html";
    HWND nameBox = nullptr;
    WaitFor([&] { return dialog && (nameBox = FindChild(dialog, L"Edit", [](const std::wstring&) { return true; })); });
    if (!Check(nameBox != nullptr, "Save Report... opens the save dialog with a name box")) return;
    Check(WaitFor([&] { return ControlText(nameBox) == name; }),
          "the name box holds the report's name: " + Narrow(ControlText(nameBox)));
    SendMessageW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(saved.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    HWND main = program.WaitWindow(kMain, win32::kMainWindowClass);
    Check(main != nullptr && !program.Window(Wide(ui::windowTexts::kSaveReportTitle)),
          "Save closes the dialog and the summary");
    const std::string report = ReadBytes(saved);
    std::string missing;
    for (const char* page : {"index.html", "trailers.htm", "contact.html"})
        if (report.find(page) == std::string::npos) missing += std::string(page) + " ";
    Check(!report.empty() && missing.empty() && report.find("<!DOCTYPE html>") != std::string::npos,
          "the report is written where the user said and holds the run's pages" +
              (missing.empty() ? std::string() : "; missing: " + missing));
    const std::string opened = "OpenFile\t\t" + Narrow(saved) + "\n";
    Check(ReadBytes(launches) == opened, "the report is opened in the default viewer: " + ReadBytes(launches));
    Check(!stdfs::exists(site + L"_Converted\\" + name), "the converted tree holds no report");
    if (main) CloseMain(program, main, "the program ends with its window");
}

void CloseMain(Program& program, HWND main, const std::string& what) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    Check(program.Ended(kTimeoutMs), what);
}

// Both windows at the screen's dpi, alone: for a second run at another dpi.
int CheckLayoutOnly(const std::wstring& exe, const std::wstring& work) {
    Program program(Prepared(work + L"\\layout", exe), L"");
    if (HWND disclaimer = program.WaitWindow(kDisclaimer)) {
        CheckLayout(disclaimer, ui::DisclaimerDesign());
        Click(Child(disclaimer, ControlId::ContinueButton));
        if (HWND main = program.WaitWindow(kMain)) {
            CheckLayout(main, ui::MainWindowDesign());
            CloseMain(program, main, "the program ends with its window");
        } else {
            Check(false, "Continue leads to the main window");
        }
    } else {
        Check(false, "a fresh start shows the disclaimer");
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

// The start-up alone, for a program from a release: the disclaimer on a fresh
// profile, the ticked box writing the marker beside the program, and the next
// start going straight to the main window.
int CheckStartUpOnly(const std::wstring& exe, const std::wstring& work) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // MSAA reads the names
    const std::wstring folder = work + L"\\startup";
    {
        Program program(Prepared(folder, exe), L"");
        Check(program.Started(), "tagshift.exe starts");
        if (HWND main = DisclaimerThenMainWindow(program, true)) {
            Check(stdfs::exists(folder + L"\\" + Wide(ui::kMarkerName)), "the ticked box writes the skip marker");
            CloseMain(program, main, "the program ends with its window");
        }
    }
    Program program(folder + L"\\tagshift.exe", L"");
    bool disclaimerSeen = false;
    HWND main = nullptr;
    WaitFor([&] {
        disclaimerSeen = disclaimerSeen || program.Window(kDisclaimer) != nullptr;
        return (main = program.Window(kMain)) != nullptr;
    });
    Check(main != nullptr && !disclaimerSeen, "with the marker the main window comes without the disclaimer");
    if (main) CloseMain(program, main, "the program ends with its window");
    CoUninitialize();
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Real pixels, as tagshift.exe sees them, not ones scaled for an old program.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    if (argc == 4 && std::wstring(argv[1]) == L"--layout") return CheckLayoutOnly(argv[2], argv[3]);
    if (argc == 4 && std::wstring(argv[1]) == L"--startup") return CheckStartUpOnly(argv[2], argv[3]);
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: window_driver tagshift.exe work-folder site-folder reference-folder\n"
                     "       window_driver --layout tagshift.exe work-folder\n"
                     "       window_driver --startup tagshift.exe work-folder\n");
        return 2;
    }
    const std::wstring exe = argv[1], work = argv[2], site = argv[3], reference = argv[4];
    SetEnvironmentVariableW(win32::kTestDropsVariable, L"1");  // inherited by every start
    // No start opens a browser or a folder: the launches are written down.
    const std::wstring launches = work + L"\\launches.txt";
    DeleteFileW(launches.c_str());
    SetEnvironmentVariableW(win32::kRecordLaunchesVariable, launches.c_str());
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    {  // A fresh profile: the disclaimer, Continue, then the main window's keys, names, hover and chooser.
        const std::wstring folder = work + L"\\fresh";
        Program program(Prepared(folder, exe), L"");
        Check(program.Started(), "tagshift.exe starts");
        if (HWND main = DisclaimerThenMainWindow(program, false)) {
            Check(!stdfs::exists(folder + L"\\" + Wide(ui::kMarkerName)), "an unticked box writes no skip marker");
            CheckLayout(main, ui::MainWindowDesign());
            CheckTabOrderAndNames(main);
            CheckHover(main);
            CheckChooser(program, main, site);
            CheckDrops(program, main, work + L"\\fresh", site + L"\\index.html");
            CloseMain(program, main, "closing the main window ends the program");
        }
    }
    {  // Escape on the disclaimer ends the program without the main window.
        Program program(Prepared(work + L"\\escape", exe), L"");
        HWND disclaimer = program.WaitWindow(kDisclaimer);
        HWND box = disclaimer ? Child(disclaimer, ControlId::DontShowAgain) : nullptr;
        if (Check(disclaimer && WaitFor([&] { return FocusOf(disclaimer) == box; }),
                  "the disclaimer shows again on another fresh profile, the focus on its box")) {
            PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
            Check(program.Ended(kTimeoutMs) && program.Window(kMain) == nullptr,
                  "Escape closes the disclaimer and the program");
        }
    }
    const std::wstring marked = work + L"\\marked";
    {  // The ticked box writes the marker beside the program.
        Program program(Prepared(marked, exe), L"");
        if (HWND main = DisclaimerThenMainWindow(program, true)) {
            Check(stdfs::exists(marked + L"\\" + Wide(ui::kMarkerName)),
                  "the ticked box writes the skip marker beside the program");
            CloseMain(program, main, "the program ends with its window");
        }
    }
    {  // The next start skips the disclaimer.
        Program program(marked + L"\\tagshift.exe", L"");
        bool disclaimerSeen = false;
        HWND main = nullptr;
        WaitFor([&] {
            disclaimerSeen = disclaimerSeen || program.Window(kDisclaimer) != nullptr;
            return (main = program.Window(kMain)) != nullptr;
        });
        Check(main != nullptr && !disclaimerSeen, "with the marker the main window comes without the disclaimer");
        if (main) CloseMain(program, main, "the program ends with its window");
    }
    {  // The File types dialog, from the keyboard only, and the run that follows.
        const std::wstring capitals = work + L"\\capitals";
        stdfs::create_directories(capitals);
        std::ofstream(stdfs::path(capitals) / L"PAGE.HTM", std::ios::binary) << "<body><OBJECT></OBJECT>";
        Program program(marked + L"\\tagshift.exe", L"");
        HWND main = program.WaitWindow(kMain);
        if (Check(main != nullptr, "the main window comes")) {
            CheckFileTypes(program, main, capitals);
            CloseMain(program, main, "the program ends with its window");
        }
    }
    {  // The command-line start converts the folder it names before the window shows.
        Program program(marked + L"\\tagshift.exe", L"\"" + site + L"\"");
        HWND summary = program.WaitWindow(Wide(ui::windowTexts::kTitleComplete));
        if (Check(summary != nullptr, "the command-line start converts and shows the summary box")) {
            HWND openFolder = nullptr;
            EnumChildWindows(
                summary,
                [](HWND child, LPARAM data) -> BOOL {
                    if (WindowText(child) != win32::kOpenFolderCaption) return TRUE;
                    *reinterpret_cast<HWND*>(data) = child;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&openFolder));
            Check(openFolder != nullptr, "the summary box offers Open Folder");
            Check(LOWORD(SendMessageW(summary, DM_GETDEFID, 0, 0)) == IDOK, "OK is the summary box's default button");
            Check(program.Window(kMain) == nullptr, "the main window is shown only after the run");
            // The line shows the file last checked; a screen reader was told the stage.
            HWND hidden = program.Window(kMain, win32::kMainWindowClass, true);
            const Accessible status = AccessibleOf(hidden ? Child(hidden, ControlId::StatusLine) : nullptr);
            const std::wstring checking = Wide(texts::kStatusCheckingFile);
            Check(status.value.rfind(checking, 0) == 0 && status.name.rfind(checking, 0) != 0,
                  "the status line shows \"" + Narrow(status.value).substr(0, 40) + "\", a screen reader hears \"" +
                      Narrow(status.name) + "\"");
            std::string difference;
            const bool same = SameTrees(site + L"_Converted", reference, &difference);
            Check(same, "the window's conversion equals the headless converter's, byte for byte" +
                            (same ? std::string() : ": " + difference));
            HWND ok = GetDlgItem(summary, IDOK);
            if (ok)
                Click(ok);
            else
                PostMessageW(summary, WM_COMMAND, IDOK, 0);
            HWND main = program.WaitWindow(kMain);
            if (Check(main != nullptr, "OK on the summary shows the main window")) {
                Check(WindowText(Child(main, ControlId::FolderName)) == site,
                      "the folder name shows the converted folder");
                Check(WaitFor([&] { return FocusOf(main) == Child(main, ControlId::ConvertButton); }),
                      "after the run the focus is on Convert");
                CloseMain(program, main, "the program ends with its window");
            }
        }
    }
    {  // Save Report... on the summary of a command-line start.
        const std::wstring copy = work + L"\\report site", saved = work + L"\\saved";
        std::error_code error;
        stdfs::copy(site, copy, stdfs::copy_options::recursive, error);
        stdfs::create_directories(saved, error);
        Program program(marked + L"\\tagshift.exe", L"\"" + copy + L"\"");
        CheckSaveReport(program, copy, saved + L"\\mine.html", launches);
    }
    {  // A long path: the summary box breaks it into lines within the screen and shows all of it.
        const std::wstring longSite = work + L"\\" + std::wstring(120, L'x') + L" " + std::wstring(60, L'y');
        std::error_code error;
        stdfs::copy(site, longSite, stdfs::copy_options::recursive, error);
        Program program(marked + L"\\tagshift.exe", L"\"" + longSite + L"\"");
        HWND summary = program.WaitWindow(Wide(ui::windowTexts::kTitleComplete));
        if (Check(summary != nullptr, "a site with a long path is converted")) {
            std::wstring shown;
            EnumChildWindows(
                summary,
                [](HWND child, LPARAM data) -> BOOL {
                    const std::wstring text = WindowText(child);
                    if (text.find(L"Your new website(s)") == std::wstring::npos) return TRUE;
                    *reinterpret_cast<std::wstring*>(data) = text;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&shown));
            for (std::size_t at; (at = shown.find(L"\r\n")) != std::wstring::npos;) shown.erase(at, 2);
            RECT box{};
            GetWindowRect(summary, &box);
            Check(box.left >= 0 && box.right <= GetSystemMetrics(SM_CXSCREEN) &&
                      shown.find(longSite + L"_Converted") != std::wstring::npos,
                  "the summary box (" + std::to_string(box.right - box.left) + " pixels wide) shows the whole " +
                      std::to_string(longSite.size() + 10) + "-character path on the screen");
            Click(GetDlgItem(summary, IDOK));
            if (HWND main = program.WaitWindow(kMain)) CloseMain(program, main, "the program ends with its window");
        }
    }
    {  // Closing the window during a run asks; Yes stops the run, leaves nothing and ends the program.
        const std::wstring big = work + L"\\big site";
        if (Check(WriteLargeSite(site + L"\\index.html", big, 3000), "a site of 3000 pages is written")) {
            Program program(marked + L"\\tagshift.exe", L"\"" + big + L"\"");
            // The main window is hidden during the run; its caption is there
            // before its controls are, so it counts once its status line is.
            HWND main = nullptr, status = nullptr;
            WaitFor([&] {
                main = program.Window(kMain, win32::kMainWindowClass, true);
                return (status = main ? Child(main, ControlId::StatusLine) : nullptr) != nullptr;
            });
            const std::wstring idle = Wide(ui::ControlOf(ui::MainWindowDesign(), ControlId::StatusLine).text);
            Check(status && WaitFor([&] { return WindowText(status) != idle; }), "the run says how far it is");
            if (main) PostMessageW(main, WM_CLOSE, 0, 0);
            HWND question = program.WaitWindow(Wide(ui::windowTexts::kTitleInProgress), L"#32770");
            if (Check(question != nullptr && !program.Window(Wide(ui::windowTexts::kTitleComplete)),
                      "closing the window during the run asks whether to stop it")) {
                HWND no = GetDlgItem(question, IDNO);
                Check(no && ((GetWindowLongPtrW(no, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON ||
                             WaitFor([&] { return FocusOf(question) == no; })),
                      "No is the question's default button");
                Click(GetDlgItem(question, IDYES));
                Check(program.Ended(kTimeoutMs), "Yes stops the run and ends the program");
                bool left = false;
                for (const auto& entry : stdfs::directory_iterator(work))
                    left = left || entry.path().filename().wstring().rfind(L"big site_", 0) == 0;
                Check(!left, "the stopped run leaves no copy beside the site");
            }
        }
    }
    CoUninitialize();
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
