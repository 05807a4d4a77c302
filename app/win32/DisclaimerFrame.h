// The disclaimer window: standard controls laid out from
// ui::DisclaimerDesign(); Continue (the default button, Enter, Alt+C), Exit
// (Alt+X), Escape and the frame's close box go to ui::DisclaimerWindow.
#pragma once

#include <windows.h>

#include <map>

#include "app/win32/PlatformServices.h"
#include "ui/Disclaimer.h"

namespace tagshift::win32 {

inline constexpr const wchar_t* kDisclaimerClass = L"TagshiftDisclaimer";

class DisclaimerFrame final : public ui::DisclaimerView {
public:
    explicit DisclaimerFrame(PlatformServices& services) : services_(services) {}
    ~DisclaimerFrame() override;
    DisclaimerFrame(const DisclaimerFrame&) = delete;
    DisclaimerFrame& operator=(const DisclaimerFrame&) = delete;

    void SetLogic(ui::DisclaimerWindow* logic) { logic_ = logic; }

    // ui::DisclaimerView
    void Show() override;
    void Unload() override;
    bool DontShowAgainTicked() override;
    void SetFocus(ui::ControlId id) override;

private:
    bool Create();
    void Layout(int screenDpi, bool centre);
    void ClearFonts();
    HWND ControlWindow(ui::ControlId id) const;
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    PlatformServices& services_;
    ui::DisclaimerWindow* logic_ = nullptr;
    const ui::WindowDesign& design_ = ui::DisclaimerDesign();
    HWND window_ = nullptr;
    std::map<ui::ControlId, HWND> controls_;
    HFONT regular_ = nullptr, bold_ = nullptr;
    bool ticked_ = false;  // kept when the window is gone
};

}  // namespace tagshift::win32
