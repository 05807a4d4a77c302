#include "app/win32/FileTypesBox.h"

#include <commctrl.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "app/win32/Accessible.h"
#include "app/win32/FaceText.h"
#include "fs/Utf16.h"

namespace tagshift::win32 {

namespace {

using C = ui::FileTypesControl;
using fs::ToUtf16;
using fs::ToUtf8;

// The layout in dialog units, with the usual margins (7) and gaps (4).
constexpr short kWidth = 320, kMargin = 7, kInner = kWidth - 2 * kMargin;

struct Place {
    short x, y, cx, cy;
};

Place PlaceOf(C id) {
    switch (id) {
        case C::PatternsLabel: return {kMargin, 7, kInner, 8};
        case C::Patterns: return {kMargin, 17, kInner, 14};
        case C::Rule: return {kMargin, 35, kInner, 8};
        case C::Warning: return {kMargin, 47, kInner, 26};
        case C::AnyCase: return {kMargin, 77, kInner, 10};
        case C::Noscript: return {kMargin, 91, kInner, 10};
        case C::Restore: return {kMargin, 111, 70, 14};
        case C::Ok: return {kWidth - kMargin - 104, 111, 50, 14};
        case C::Cancel: return {kWidth - kMargin - 50, 111, 50, 14};
    }
    return {};
}
constexpr short kHeight = 132;

// An in-memory DLGTEMPLATEEX and its items, as the dialog manager reads them.
class Template {
public:
    void Word(WORD value) { words_.push_back(value); }
    void Dword(DWORD value) {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const std::wstring& text) {
        for (wchar_t c : text) Word(static_cast<WORD>(c));
        Word(0);
    }
    void Align() {
        if (words_.size() % 2) Word(0);
    }
    void Dialog(const std::wstring& caption, WORD items) {
        Word(1);
        Word(0xFFFF);
        Dword(0);  // help id
        Dword(0);  // extended style
        Dword(DS_SHELLFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        Word(items);
        for (short v : {short(0), short(0), kWidth, kHeight}) Word(static_cast<WORD>(v));
        Word(0);  // no menu
        Word(0);  // the dialog class
        Text(caption);
        Word(8);    // points
        Word(FW_NORMAL);
        Word(0);    // not italic, the default character set
        Text(L"MS Shell Dlg");
    }
    void Item(int id, WORD atom, DWORD style, Place place, const std::wstring& text) {
        Align();
        Dword(0);  // help id
        Dword(0);  // extended style
        Dword(style | WS_CHILD | WS_VISIBLE);
        for (short v : {place.x, place.y, place.cx, place.cy}) Word(static_cast<WORD>(v));
        Dword(static_cast<DWORD>(id));
        Word(0xFFFF);
        Word(atom);
        Text(text);
        Word(0);  // no creation data
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    std::vector<WORD> words_;
};

constexpr WORD kButtonAtom = 0x0080, kEditAtom = 0x0081, kStaticAtom = 0x0082;

// The list's name for a screen reader is its label's, as Windows reads a
// field after its label; the list keeps its role and value.
LRESULT CALLBACK NamedByLabel(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_GETOBJECT && static_cast<long>(lParam) == OBJID_CLIENT) {
        AccessibleFacts facts;
        facts.name = ToUtf16(ui::FileTypesItemOf(C::Patterns).text);
        facts.description = ToUtf16(ui::fileTypesTexts::kRule);
        if (const LRESULT answer = AnswerGetObject(window, wParam, facts)) return answer;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

class FileTypesBox final : public ui::FileTypesView {
public:
    explicit FileTypesBox(ui::FileTypesDialog& logic) : logic_(logic) {}

    void Run(HWND owner) {
        const std::vector<ui::FileTypesItem>& design = ui::FileTypesDesign();
        Template dialog;
        dialog.Dialog(ToUtf16(ui::fileTypesTexts::kCaption), static_cast<WORD>(design.size()));
        for (const ui::FileTypesItem& item : design) {
            const std::wstring text = MnemonicCaption(ToUtf16(item.text), item.mnemonic);
            switch (item.kind) {
                case ui::FileTypesKind::Label:
                    // Only the list's label carries an Alt letter; the rule and
                    // the warnings show '&' as it is.
                    dialog.Item(FileTypesItemId(item.id), kStaticAtom, item.mnemonic ? 0 : SS_NOPREFIX,
                                PlaceOf(item.id), text);
                    break;
                case ui::FileTypesKind::TextBox:
                    dialog.Item(FileTypesItemId(item.id), kEditAtom, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
                                PlaceOf(item.id), L"");
                    break;
                case ui::FileTypesKind::CheckBox:
                    dialog.Item(FileTypesItemId(item.id), kButtonAtom, BS_AUTOCHECKBOX | WS_TABSTOP, PlaceOf(item.id),
                                text);
                    break;
                case ui::FileTypesKind::Button:
                    dialog.Item(FileTypesItemId(item.id), kButtonAtom,
                                WS_TABSTOP | (item.id == C::Ok ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), PlaceOf(item.id),
                                text);
                    break;
            }
        }
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), owner, Proc, reinterpret_cast<LPARAM>(this));
    }

    // ui::FileTypesView
    void SetPatterns(const std::string& text) override {
        const std::wstring wide = ToUtf16(text);
        filling_ = true;  // the logic's own text needs no word back
        SetDlgItemTextW(window_, FileTypesItemId(C::Patterns), wide.c_str());
        filling_ = false;
    }
    void SetChecked(C id, bool checked) override {
        CheckDlgButton(window_, FileTypesItemId(id), checked ? BST_CHECKED : BST_UNCHECKED);
    }
    void SetWarning(const std::string& text) override {
        std::wstring wide;
        for (wchar_t c : ToUtf16(text)) {
            if (c == L'\n') wide += L'\r';
            wide += c;
        }
        SetDlgItemTextW(window_, FileTypesItemId(C::Warning), wide.c_str());
    }
    void SetFocus(C id) override {
        SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window_, FileTypesItemId(id))), TRUE);
    }
    void ShowError(const std::string& title, const std::string& prompt) override {
        MessageBoxW(window_, ToUtf16(prompt).c_str(), ToUtf16(title).c_str(), MB_OK | MB_ICONERROR);
    }
    void Close() override { EndDialog(window_, logic_.Accepted() ? IDOK : IDCANCEL); }

private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            auto* self = reinterpret_cast<FileTypesBox*>(lParam);
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            self->window_ = window;
            SetWindowSubclass(GetDlgItem(window, FileTypesItemId(C::Patterns)), NamedByLabel, 0, 0);
            self->logic_.Shown(*self);
            return FALSE;  // the logic has put the focus
        }
        auto* self = reinterpret_cast<FileTypesBox*>(GetWindowLongPtrW(window, DWLP_USER));
        if (!self || message != WM_COMMAND) return FALSE;
        self->Command(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    }

    void Command(int id, int code) {
        for (const ui::FileTypesItem& item : ui::FileTypesDesign()) {
            if (FileTypesItemId(item.id) != id) continue;
            if (item.kind == ui::FileTypesKind::TextBox && code == EN_CHANGE && !filling_) {
                HWND field = GetDlgItem(window_, id);
                std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
                text.resize(static_cast<std::size_t>(GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
                logic_.PatternsEdited(ToUtf8(text));
            } else if (item.kind == ui::FileTypesKind::CheckBox && code == BN_CLICKED) {
                logic_.Toggled(item.id, IsDlgButtonChecked(window_, id) == BST_CHECKED);
            } else if (item.kind == ui::FileTypesKind::Button && code == BN_CLICKED) {
                // Escape and the close box come as Cancel, Enter as OK.
                logic_.Activate(item.id);
            }
        }
    }

    ui::FileTypesDialog& logic_;
    HWND window_ = nullptr;
    bool filling_ = false;
};

}  // namespace

void RunFileTypesBox(ui::FileTypesDialog& logic, HWND owner) {
    FileTypesBox box(logic);
    box.Run(owner);
}

}  // namespace tagshift::win32
