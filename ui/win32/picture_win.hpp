// A window's background picture: decoded once (PNG or JPEG, with WIC), drawn
// stretched over the whole client area, and the brush that lets a transparent
// label show the part of it that lies behind the label.
#pragma once

#include <windows.h>

#include <span>

namespace kv::ui::win {

class Picture {
 public:
  // Null bitmap when the bytes are no picture WIC can read.
  explicit Picture(std::span<const unsigned char> image);
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  bool Valid() const { return source_ != nullptr; }
  SIZE SourceSize() const { return size_; }

  // Makes the picture for a client area of `width` x `height` (again when the
  // size changed); false when there is none.
  bool Fit(int width, int height);
  // Paints the fitted picture at the client area's origin.
  void Paint(HDC dc) const;
  // A brush of the fitted picture, to be aligned with SetBrushOrgEx.
  HBRUSH Brush() const { return brush_; }
  // The colour of the fitted picture at a client point (for tests).
  COLORREF ColourAt(int x, int y) const;

 private:
  void ReleaseFitted();

  HBITMAP source_ = nullptr;
  SIZE size_{0, 0};
  HBITMAP fitted_ = nullptr;
  SIZE fittedSize_{0, 0};
  HBRUSH brush_ = nullptr;
};

}  // namespace kv::ui::win
