#include "app/win32/Pictures.h"

#include <wincodec.h>

#include <utility>

namespace tagshift::win32 {

namespace {

// A COM pointer released at the end of its scope.
template <typename T>
class Com {
public:
    ~Com() {
        if (p_) p_->Release();
    }
    T** operator&() { return &p_; }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }

private:
    T* p_ = nullptr;
};

bool ResourceBytes(const char* name, const BYTE** bytes, DWORD* size) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found) return false;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return false;
    *bytes = static_cast<const BYTE*>(LockResource(loaded));
    *size = SizeofResource(module, found);
    return *bytes != nullptr && *size > 0;
}

// The decoded first frame of a resource; nullptr on failure.
bool Decode(const char* name, IWICImagingFactory* factory, IWICBitmapFrameDecode** frame) {
    const BYTE* bytes = nullptr;
    DWORD size = 0;
    if (!ResourceBytes(name, &bytes, &size)) return false;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateStream(&stream))) return false;
    if (FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), size))) return false;
    if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)))
        return false;
    return SUCCEEDED(decoder->GetFrame(0, frame));
}

bool Factory(IWICImagingFactory** factory) {
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, reinterpret_cast<void**>(factory)));
}

}  // namespace

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
    if (this != &other) {
        Reset();
        bitmap_ = std::exchange(other.bitmap_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

void Bitmap::Reset() {
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = nullptr;
    width_ = height_ = 0;
}

SIZE Bitmap::NaturalSize(const char* resourceName) {
    SIZE size{0, 0};
    Com<IWICImagingFactory> factory;
    Com<IWICBitmapFrameDecode> frame;
    if (!Factory(&factory) || !Decode(resourceName, factory.Get(), &frame)) return size;
    UINT width = 0, height = 0;
    if (SUCCEEDED(frame->GetSize(&width, &height))) size = SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
    return size;
}

bool Bitmap::Load(const char* resourceName, int width, int height) {
    Reset();
    Com<IWICImagingFactory> factory;
    Com<IWICBitmapFrameDecode> frame;
    if (!Factory(&factory) || !Decode(resourceName, factory.Get(), &frame)) return false;
    UINT ownWidth = 0, ownHeight = 0;
    if (FAILED(frame->GetSize(&ownWidth, &ownHeight))) return false;
    if (width <= 0 || height <= 0) {
        width = static_cast<int>(ownWidth);
        height = static_cast<int>(ownHeight);
    }
    Com<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter))) return false;
    if (FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return false;
    IWICBitmapSource* source = converter.Get();
    Com<IWICBitmapScaler> scaler;
    if (static_cast<UINT>(width) != ownWidth || static_cast<UINT>(height) != ownHeight) {
        if (FAILED(factory->CreateBitmapScaler(&scaler))) return false;
        if (FAILED(scaler->Initialize(converter.Get(), static_cast<UINT>(width), static_cast<UINT>(height),
                                      WICBitmapInterpolationModeFant)))
            return false;
        source = scaler.Get();
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return false;
    const UINT stride = static_cast<UINT>(width) * 4;
    if (FAILED(source->CopyPixels(nullptr, stride, stride * static_cast<UINT>(height), static_cast<BYTE*>(bits)))) {
        DeleteObject(bitmap);
        return false;
    }
    bitmap_ = bitmap;
    width_ = width;
    height_ = height;
    return true;
}

void Bitmap::Draw(HDC dc, int x, int y, BYTE opacity) const {
    if (!bitmap_) return;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap_);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity, AC_SRC_ALPHA};
    AlphaBlend(dc, x, y, width_, height_, source, 0, 0, width_, height_, blend);
    SelectObject(source, old);
    DeleteDC(source);
}

}  // namespace tagshift::win32
