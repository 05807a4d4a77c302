// The main window: its widgets built from ui::MainWindowDesign() at the
// screen's dpi, the background picture under them, and every user act
// forwarded to ui::MainWindow, which decides what happens.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "app/win32/ControlWindow.h"
#include "app/win32/Frame.h"
#include "app/win32/Pictures.h"
#include "app/win32/PlatformServices.h"
#include "ui/MainWindow.h"

namespace tagshift::win32 {

inline constexpr const wchar_t* kMainWindowClass = L"TagshiftMainWindow";

class MainFrame final : public ui::MainView, private ControlHost, private Frame {
public:
    explicit MainFrame(PlatformServices& services);
    ~MainFrame() override;

    // Creates the window (hidden), runs the command-line start and shows it.
    bool Start(const std::string& argumentText, int showCommand);

    // ui::MainView
    void SetText(ui::ControlId id, const std::string& text) override;
    void SetUnderline(ui::ControlId id, bool underline) override;
    void SetBorder(ui::ControlId id, bool border) override;
    void SetEnabled(ui::ControlId id, bool enabled) override;
    void SetFocus(ui::ControlId id) override;
    std::optional<ui::ControlId> FocusedControl() override;
    void SetProgress(long long pagesDone, long long pagesInAll) override;
    void Announce(const std::string& text) override;
    void ProcessEvents() override;

private:
    // ControlHost
    void ControlActivated(ui::ControlId id) override;
    void PointerOverControl(ui::ControlId id) override;
    void PaintBackground(HDC dc, const RECT& rect) override;
    HFONT FontOf(const ui::Control& design, bool underline) override;
    const Bitmap* PictureOf(ui::ControlId id) override;

    // Frame
    void CreateControls() override;
    void Layout(int screenDpi, bool centre) override;
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override;

    void CreateTooltips();
    void ClearFonts();

    PlatformServices& services_;
    ui::MainWindow logic_;
    HWND tooltip_ = nullptr;
    HWND lastFocus_ = nullptr;
    std::map<ui::ControlId, Bitmap> pictures_;
    Bitmap background_;
    std::map<std::tuple<int, bool, bool>, HFONT> fonts_;  // point size, bold, underline
    HICON bigIcon_ = nullptr, smallIcon_ = nullptr;
    int layoutDpi_ = 96;
};

}  // namespace tagshift::win32
