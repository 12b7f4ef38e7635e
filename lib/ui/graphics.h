// Pictures and drawing of the control library. PNG decoding, high-quality stretching and saving
// go through GDI+, which the library loads at run time from the system folder (the setup imports
// only libraries of the system's KnownDLLs list); without GDI+ pictures stay empty and draw
// nothing, so a control still shows its text.
#pragma once

#include <windows.h>

#include <cstdint>

#include "lib/dlx_string.h"
#include "lib/stream.h"
#include "lib/ui/skin.h"

namespace dlx {

// True when GDI+ could be loaded and started (once per process).
bool GdiPlusAvailable();

// A decoded picture (PNG, or anything else GDI+ reads), drawn with its alpha channel.
class TDLXImage {
 public:
  TDLXImage() = default;
  ~TDLXImage();
  TDLXImage(const TDLXImage&) = delete;
  TDLXImage& operator=(const TDLXImage&) = delete;

  // Each replaces the picture; false (and an empty picture) when the data is no picture.
  bool LoadFromMemory(const void* data, size_t size);
  // Reads the rest of the stream from its position.
  bool LoadFromStream(TDLXStream& stream);
  bool LoadFromFile(const String& fileName);
  // An RT_RCDATA resource of the module.
  bool LoadFromResource(HMODULE module, const String& name);
  void Clear();

  bool Empty() const { return bitmap_ == nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Draws the whole picture stretched into dest with an opacity 0..255.
  void Draw(HDC dc, const RECT& dest, uint8_t opacity = 255) const;
  // Draws the source rectangle (picture pixels) stretched into dest.
  void DrawPart(HDC dc, const RECT& dest, const RECT& source, uint8_t opacity = 255) const;

  // The GDI+ bitmap, for the library's own drawing code.
  void* Bitmap() const { return bitmap_; }

 private:
  void Adopt(void* bitmap);

  void* bitmap_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// Draws frame `frame` of a skin texture into dest: with margins, the corners keep their size
// (scaled by numerator/denominator), the edges stretch along one axis and the middle along both.
void DrawSkinTexture(HDC dc, const RECT& dest, const TDLXSkinTexture& texture, int frame, int numerator,
                     int denominator, uint8_t opacity = 255);

// Saves what the window's client area shows as a PNG file; false when it cannot.
bool SaveWindowToPng(HWND window, const String& fileName);

// Fills a rectangle with one colour.
void FillSolidRect(HDC dc, const RECT& rect, COLORREF color);
// A one-pixel (or thicker) rectangle outline.
void FrameSolidRect(HDC dc, const RECT& rect, COLORREF color, int width = 1);

// A memory bitmap of the size of a rectangle that receives the drawing and is copied to the target
// in one step at the end, so controls repaint without flicker.
class TDLXBufferedPaint {
 public:
  TDLXBufferedPaint(HDC target, const RECT& rect);
  ~TDLXBufferedPaint();
  TDLXBufferedPaint(const TDLXBufferedPaint&) = delete;
  TDLXBufferedPaint& operator=(const TDLXBufferedPaint&) = delete;
  HDC Dc() const { return dc_ ? dc_ : target_; }

 private:
  HDC target_;
  RECT rect_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

}  // namespace dlx
