#include "app/win32/Accessible.h"

#include <commctrl.h>
#include <oleacc.h>

#include <utility>

#include "fs/Utf16.h"

namespace tagshift::win32 {

namespace {

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT ReturnString(const std::wstring& text, BSTR* result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (text.empty()) return S_FALSE;
    *result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *result ? S_OK : E_OUTOFMEMORY;
}

// The standard object with the design's facts in front of it. Everything
// the design says nothing of (place, focus, parent) is the standard's.
class ControlAccessible final : public IAccessible {
public:
    ControlAccessible(IAccessible* standard, AccessibleFacts facts) : standard_(standard), facts_(std::move(facts)) {}
    ControlAccessible(const ControlAccessible&) = delete;
    ControlAccessible& operator=(const ControlAccessible&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

    // IDispatch: not offered, as the standard objects do not need it.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible: the design's facts.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!IsSelf(child)) return standard_->get_accName(child, name);
        return ReturnString(facts_.name, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (!IsSelf(child)) return standard_->get_accDescription(child, description);
        return ReturnString(facts_.description, description);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        // A standard control the design gives no role (a text field) keeps its own.
        if (!IsSelf(child) || facts_.role == ui::Role::None) return standard_->get_accRole(child, role);
        if (!role) return E_POINTER;
        role->vt = VT_I4;
        role->lVal = MsaaRole(facts_.role);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        const HRESULT result = standard_->get_accState(child, state);
        if (FAILED(result) || !IsSelf(child) || !state || state->vt != VT_I4) return result;
        if (facts_.role == ui::Role::Link) state->lVal |= STATE_SYSTEM_LINKED;
        if (facts_.role == ui::Role::Text || facts_.role == ui::Role::Status) state->lVal |= STATE_SYSTEM_READONLY;
        return result;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!IsSelf(child)) return standard_->get_accDefaultAction(child, action);
        switch (facts_.role) {
            case ui::Role::Button: return ReturnString(L"Press", action);
            case ui::Role::Link: return ReturnString(L"Jump", action);
            default: return ReturnString(std::wstring(), action);
        }
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!IsSelf(child)) return standard_->accDoDefaultAction(child);
        if (facts_.role != ui::Role::Button && facts_.role != ui::Role::Link) return DISP_E_MEMBERNOTFOUND;
        HWND window = nullptr;
        if (FAILED(WindowFromAccessibleObject(standard_, &window)) || !window) return E_FAIL;
        // Posted: the act may open a modal box, and the caller must not wait for it.
        PostMessageW(window, BM_CLICK, 0, 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (IsSelf(child) && facts_.role == ui::Role::Status) return ReturnString(facts_.value, value);
        return standard_->get_accValue(child, value);
    }

    // IAccessible: the standard object's.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return standard_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return standard_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return standard_->get_accHelp(child, help); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override { return standard_->get_accSelection(children); }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return standard_->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
        return standard_->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~ControlAccessible() { standard_->Release(); }

    IAccessible* standard_;
    AccessibleFacts facts_;
    LONG references_ = 1;
};

std::wstring NameOf(const ui::Control& design) {
    return fs::ToUtf16(design.accessibleName ? design.accessibleName : design.text);
}

LRESULT CALLBACK DesignedAccessible(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR data) {
    if (message == WM_GETOBJECT && static_cast<long>(lParam) == OBJID_CLIENT) {
        const auto* design = reinterpret_cast<const ui::Control*>(data);
        AccessibleFacts facts;
        facts.name = NameOf(*design);
        if (design->accessibleDescription) facts.description = fs::ToUtf16(design->accessibleDescription);
        facts.role = design->role;
        if (const LRESULT answer = AnswerGetObject(window, wParam, facts)) return answer;
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, DesignedAccessible, 0);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

void GiveDesignedAccessibility(HWND window, const ui::Control& design) {
    if (window && design.role != ui::Role::None)
        SetWindowSubclass(window, DesignedAccessible, 0, reinterpret_cast<DWORD_PTR>(&design));
}

long MsaaRole(ui::Role role) {
    switch (role) {
        case ui::Role::Button: return ROLE_SYSTEM_PUSHBUTTON;
        case ui::Role::Link: return ROLE_SYSTEM_LINK;
        case ui::Role::CheckBox: return ROLE_SYSTEM_CHECKBUTTON;
        case ui::Role::Status: return ROLE_SYSTEM_STATUSBAR;
        case ui::Role::ProgressBar: return ROLE_SYSTEM_PROGRESSBAR;
        case ui::Role::Text: return ROLE_SYSTEM_STATICTEXT;
        case ui::Role::None: break;
    }
    return ROLE_SYSTEM_CLIENT;
}

LRESULT AnswerGetObject(HWND window, WPARAM wParam, const AccessibleFacts& facts) {
    IAccessible* standard = nullptr;
    if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&standard))) ||
        !standard)
        return 0;
    auto* object = new ControlAccessible(standard, facts);
    const LRESULT result = LresultFromObject(IID_IAccessible, wParam, object);
    object->Release();
    return result < 0 ? 0 : result;
}

}  // namespace tagshift::win32
