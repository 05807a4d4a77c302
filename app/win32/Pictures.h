// The pictures of the windows: PNG files embedded as RCDATA resources under
// their file names ("folder.png"), decoded with the Windows Imaging
// Component into 32-bit premultiplied bitmaps of the size asked for.
#pragma once

#include <windows.h>

#include <string>

namespace tagshift::win32 {

class Bitmap {
public:
    Bitmap() = default;
    ~Bitmap() { Reset(); }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    Bitmap(Bitmap&& other) noexcept { *this = std::move(other); }
    Bitmap& operator=(Bitmap&& other) noexcept;

    // Decodes the named resource at width x height pixels; 0 x 0 keeps the
    // picture's own size. False (and an empty bitmap) when it fails.
    bool Load(const char* resourceName, int width, int height);
    // The picture's own size, without decoding more than its header.
    static SIZE NaturalSize(const char* resourceName);

    HBITMAP Handle() const { return bitmap_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return bitmap_ == nullptr; }

    // Draws at (x, y) with its alpha; opacity 0-255 fades it (a disabled control).
    void Draw(HDC dc, int x, int y, BYTE opacity = 255) const;

private:
    void Reset();
    HBITMAP bitmap_ = nullptr;
    int width_ = 0, height_ = 0;
};

}  // namespace tagshift::win32
