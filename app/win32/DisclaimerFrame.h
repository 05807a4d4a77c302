// The disclaimer window: standard controls laid out from
// ui::DisclaimerDesign(); Continue (the default button, Enter, Alt+C), Exit
// (Alt+X), Escape and the frame's close box go to ui::DisclaimerWindow.
#pragma once

#include <windows.h>

#include "app/win32/Frame.h"
#include "app/win32/PlatformServices.h"
#include "ui/Disclaimer.h"

namespace tagshift::win32 {

inline constexpr const wchar_t* kDisclaimerClass = L"TagshiftDisclaimer";

class DisclaimerFrame final : public ui::DisclaimerView, private Frame {
public:
    explicit DisclaimerFrame(PlatformServices& services) : Frame(ui::DisclaimerDesign()), services_(services) {}
    ~DisclaimerFrame() override;

    void SetLogic(ui::DisclaimerWindow* logic) { logic_ = logic; }

    // ui::DisclaimerView
    void Show() override;
    void Unload() override;
    bool DontShowAgainTicked() override;
    void SetFocus(ui::ControlId id) override;

private:
    // Frame
    void CreateControls() override;
    void Layout(int screenDpi, bool centre) override;
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override;

    void ClearFonts();

    PlatformServices& services_;
    ui::DisclaimerWindow* logic_ = nullptr;
    HFONT regular_ = nullptr, bold_ = nullptr;
    bool ticked_ = false;  // kept when the window is gone
};

}  // namespace tagshift::win32
