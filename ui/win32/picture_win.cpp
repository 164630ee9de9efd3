#include "picture_win.hpp"

#include <wincodec.h>

namespace kv::ui::win {

namespace {

template <class T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

// Decodes the first frame of `image` into a 32-bit top-down DIB section.
HBITMAP Decode(std::span<const unsigned char> image, SIZE& size) {
  if (image.empty() || image.size() > 0x7FFFFFFF) return nullptr;
  // COM for WIC on this thread; a thread that has it already keeps it.
  const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HBITMAP bitmap = nullptr;
  {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT w = 0, h = 0;
    if (SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                     reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(image.data()), static_cast<DWORD>(image.size()))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converter->GetSize(&w, &h)) && w > 0 && h > 0 && w <= 16384 && h <= 16384) {
      BITMAPINFO info{};
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = static_cast<LONG>(w);
      info.bmiHeader.biHeight = -static_cast<LONG>(h);
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      info.bmiHeader.biCompression = BI_RGB;
      void* bits = nullptr;
      bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
      if (bitmap != nullptr &&
          FAILED(converter->CopyPixels(nullptr, w * 4, w * h * 4, static_cast<BYTE*>(bits)))) {
        ::DeleteObject(bitmap);
        bitmap = nullptr;
      }
      if (bitmap) size = {static_cast<LONG>(w), static_cast<LONG>(h)};
    }
  }
  if (SUCCEEDED(init)) ::CoUninitialize();
  return bitmap;
}

}  // namespace

Picture::Picture(std::span<const unsigned char> image) {
  SIZE size{0, 0};
  source_ = Decode(image, size);
  size_ = size;
}

Picture::~Picture() {
  ReleaseFitted();
  if (source_) ::DeleteObject(source_);
}

void Picture::ReleaseFitted() {
  if (brush_) ::DeleteObject(brush_);
  if (fitted_) ::DeleteObject(fitted_);
  brush_ = nullptr;
  fitted_ = nullptr;
  fittedSize_ = {0, 0};
}

bool Picture::Fit(int width, int height) {
  if (source_ == nullptr || width <= 0 || height <= 0) return false;
  if (fitted_ && fittedSize_.cx == width && fittedSize_.cy == height) return true;
  ReleaseFitted();
  HDC screen = ::GetDC(nullptr);
  HDC from = ::CreateCompatibleDC(screen);
  HDC to = ::CreateCompatibleDC(screen);
  fitted_ = ::CreateCompatibleBitmap(screen, width, height);
  if (fitted_) {
    HGDIOBJ oldFrom = ::SelectObject(from, source_);
    HGDIOBJ oldTo = ::SelectObject(to, fitted_);
    ::SetStretchBltMode(to, HALFTONE);
    ::SetBrushOrgEx(to, 0, 0, nullptr);
    ::StretchBlt(to, 0, 0, width, height, from, 0, 0, size_.cx, size_.cy, SRCCOPY);
    ::SelectObject(from, oldFrom);
    ::SelectObject(to, oldTo);
    fittedSize_ = {width, height};
    brush_ = ::CreatePatternBrush(fitted_);
  }
  ::DeleteDC(from);
  ::DeleteDC(to);
  ::ReleaseDC(nullptr, screen);
  return fitted_ != nullptr;
}

void Picture::Paint(HDC dc) const {
  if (fitted_ == nullptr) return;
  HDC from = ::CreateCompatibleDC(dc);
  HGDIOBJ old = ::SelectObject(from, fitted_);
  ::BitBlt(dc, 0, 0, fittedSize_.cx, fittedSize_.cy, from, 0, 0, SRCCOPY);
  ::SelectObject(from, old);
  ::DeleteDC(from);
}

COLORREF Picture::ColourAt(int x, int y) const {
  if (fitted_ == nullptr) return CLR_INVALID;
  HDC screen = ::GetDC(nullptr);
  HDC from = ::CreateCompatibleDC(screen);
  HGDIOBJ old = ::SelectObject(from, fitted_);
  const COLORREF c = ::GetPixel(from, x, y);
  ::SelectObject(from, old);
  ::DeleteDC(from);
  ::ReleaseDC(nullptr, screen);
  return c;
}

}  // namespace kv::ui::win
