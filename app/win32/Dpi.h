// The screen a window is on: its dots per inch (per monitor where Windows
// knows it), the scale a design is laid out at, the design's fonts at that
// scale and the window size for a client area.
#pragma once

#include <windows.h>

#include "ui/Design.h"

namespace tagshift::win32 {

// The window's dpi: GetDpiForWindow where Windows has it (10 and later),
// else the screen's LOGPIXELSY.
int DpiOf(HWND window);

// A design at a screen's dpi: laid out at that dpi, enlarged by how much
// larger than the design's the user's text is (ui::TextScale).
class DpiScale {
public:
    DpiScale(int screenDpi, int designPointSize100);

    int ScreenDpi() const { return screenDpi_; }
    int LayoutDpi() const { return layoutDpi_; }
    int Pixels(int twips) const { return ui::TwipsToPixels(twips, layoutDpi_); }
    // A control's box in pixels; a rule stays at least one pixel high.
    RECT PixelRect(const ui::Rect& twips) const;
    // A picture drawn for 96 dpi, at this scale.
    SIZE PictureSize(SIZE at96) const;

private:
    int screenDpi_;
    int layoutDpi_;
};

// The windows' font (Arial, as the design's sans-serif) at pointSize100 /
// 100 points for dpi.
HFONT CreateDesignFont(int pointSize100, bool bold, bool underline, int dpi);

// Sizes and places a top-level window so that its client area is
// clientWidth x clientHeight; centred on its monitor when centre is true.
void SizeWindow(HWND window, int clientWidth, int clientHeight, int dpi, bool centre);

}  // namespace tagshift::win32
