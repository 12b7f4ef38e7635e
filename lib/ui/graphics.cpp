#include "lib/ui/graphics.h"

#include <objidl.h>
#include <shlwapi.h>

#include <array>
#include <vector>

#include "lib/log.h"
#include "lib/win/handles.h"
#include "lib/win/system_library.h"

namespace dlx {
namespace {

// The few flat-API entries of GDI+ the library uses, declared here because the import library
// would make GDI+ a static import.
using GpStatus = int;
struct TGdiplusStartupInput {
  UINT32 GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = FALSE;
  BOOL SuppressExternalCodecs = FALSE;
};
struct TColorMatrix {
  float m[5][5];
};
constexpr int kUnitPixel = 2;
constexpr int kInterpolationHighQualityBilinear = 6;
constexpr int kPixelOffsetHighQuality = 2;
constexpr int kPixelOffsetNone = 3;
constexpr int kWrapModeTileFlipXY = 3;
constexpr int kPixelFormat32bppPARGB = 0x000E200B;
// The PNG encoder of GDI+: image/png.
constexpr CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

struct TGdiPlus {
  TLibraryHandle Library;
  ULONG_PTR Token = 0;
  GpStatus(WINAPI* Startup)(ULONG_PTR*, const TGdiplusStartupInput*, void*) = nullptr;
  GpStatus(WINAPI* CreateBitmapFromStream)(IStream*, void**) = nullptr;
  GpStatus(WINAPI* CreateBitmapFromHBITMAP)(HBITMAP, HPALETTE, void**) = nullptr;
  GpStatus(WINAPI* CloneBitmapAreaI)(INT, INT, INT, INT, INT, void*, void**) = nullptr;
  GpStatus(WINAPI* GetImageWidth)(void*, UINT*) = nullptr;
  GpStatus(WINAPI* GetImageHeight)(void*, UINT*) = nullptr;
  GpStatus(WINAPI* DisposeImage)(void*) = nullptr;
  GpStatus(WINAPI* CreateFromHDC)(HDC, void**) = nullptr;
  GpStatus(WINAPI* DeleteGraphics)(void*) = nullptr;
  GpStatus(WINAPI* SetInterpolationMode)(void*, int) = nullptr;
  GpStatus(WINAPI* SetPixelOffsetMode)(void*, int) = nullptr;
  GpStatus(WINAPI* DrawImageRectRectI)(void*, void*, INT, INT, INT, INT, INT, INT, INT, INT, int, const void*,
                                       void*, void*) = nullptr;
  GpStatus(WINAPI* CreateImageAttributes)(void**) = nullptr;
  GpStatus(WINAPI* DisposeImageAttributes)(void*) = nullptr;
  GpStatus(WINAPI* SetImageAttributesColorMatrix)(void*, int, BOOL, const TColorMatrix*, const TColorMatrix*,
                                                  int) = nullptr;
  GpStatus(WINAPI* SetImageAttributesWrapMode)(void*, int, DWORD, BOOL) = nullptr;
  GpStatus(WINAPI* SaveImageToFile)(void*, const WCHAR*, const CLSID*, const void*) = nullptr;
  bool Ready = false;

  TGdiPlus() {
    Library.Reset(LoadSystemLibrary(u"gdiplus.dll"));
    if (!Library) return;
    const auto get = [this](auto& target, const char* name) {
      target = Library.GetProc<std::remove_reference_t<decltype(target)>>(name);
      return target != nullptr;
    };
    const bool all =
        get(Startup, "GdiplusStartup") && get(CreateBitmapFromStream, "GdipCreateBitmapFromStream") &&
        get(CreateBitmapFromHBITMAP, "GdipCreateBitmapFromHBITMAP") &&
        get(CloneBitmapAreaI, "GdipCloneBitmapAreaI") && get(GetImageWidth, "GdipGetImageWidth") &&
        get(GetImageHeight, "GdipGetImageHeight") && get(DisposeImage, "GdipDisposeImage") &&
        get(CreateFromHDC, "GdipCreateFromHDC") && get(DeleteGraphics, "GdipDeleteGraphics") &&
        get(SetInterpolationMode, "GdipSetInterpolationMode") &&
        get(SetPixelOffsetMode, "GdipSetPixelOffsetMode") &&
        get(DrawImageRectRectI, "GdipDrawImageRectRectI") &&
        get(CreateImageAttributes, "GdipCreateImageAttributes") &&
        get(DisposeImageAttributes, "GdipDisposeImageAttributes") &&
        get(SetImageAttributesColorMatrix, "GdipSetImageAttributesColorMatrix") &&
        get(SetImageAttributesWrapMode, "GdipSetImageAttributesWrapMode") &&
        get(SaveImageToFile, "GdipSaveImageToFile");
    if (!all) {
      Log(u"GDI+ lacks an entry the control library needs: pictures are not drawn");
      return;
    }
    TGdiplusStartupInput input;
    Ready = Startup(&Token, &input, nullptr) == 0;
    if (!Ready) Log(u"GDI+ did not start: pictures are not drawn");
  }
  // GDI+ is never shut down: pictures cached by the skins live until the process ends, and a
  // shutdown before their release would crash; the system reclaims everything at exit.
};

TGdiPlus& Gdi() {
  static TGdiPlus* gdi = new TGdiPlus();
  return *gdi;
}

// Draws with GDI+ onto a device context: high-quality stretching, optional opacity.
class TGraphics {
 public:
  TGraphics(HDC dc, uint8_t opacity, int pixelOffset = kPixelOffsetHighQuality) {
    TGdiPlus& gdi = Gdi();
    if (!gdi.Ready || gdi.CreateFromHDC(dc, &graphics_) != 0) return;
    gdi.SetInterpolationMode(graphics_, kInterpolationHighQualityBilinear);
    gdi.SetPixelOffsetMode(graphics_, pixelOffset);
    if (gdi.CreateImageAttributes(&attributes_) != 0) return;
    // Mirrored tiling keeps the edge pixels from fading into transparency when stretched.
    gdi.SetImageAttributesWrapMode(attributes_, kWrapModeTileFlipXY, 0, FALSE);
    if (opacity != 255) {
      TColorMatrix matrix{};
      for (int i = 0; i < 5; ++i) matrix.m[i][i] = 1.0f;
      matrix.m[3][3] = opacity / 255.0f;
      gdi.SetImageAttributesColorMatrix(attributes_, 0, TRUE, &matrix, nullptr, 0);
    }
  }
  ~TGraphics() {
    if (attributes_) Gdi().DisposeImageAttributes(attributes_);
    if (graphics_) Gdi().DeleteGraphics(graphics_);
  }
  TGraphics(const TGraphics&) = delete;
  TGraphics& operator=(const TGraphics&) = delete;

  void Draw(void* bitmap, const RECT& d, const RECT& s) {
    if (!graphics_ || !bitmap || d.right <= d.left || d.bottom <= d.top || s.right <= s.left ||
        s.bottom <= s.top)
      return;
    Gdi().DrawImageRectRectI(graphics_, bitmap, d.left, d.top, d.right - d.left, d.bottom - d.top, s.left,
                             s.top, s.right - s.left, s.bottom - s.top, kUnitPixel, attributes_, nullptr,
                             nullptr);
  }

  // Draws the source rectangle as a picture of its own. Stretching filters across the rectangle's
  // edges; inside a strip of frames or a nine-slice texture that would blend in the pixels of the
  // neighbouring frame or slice (a coloured seam), while a picture of its own mirrors its own edge.
  void DrawIsolated(void* bitmap, const RECT& d, const RECT& s) {
    if (!graphics_ || !bitmap || d.right <= d.left || d.bottom <= d.top || s.right <= s.left ||
        s.bottom <= s.top)
      return;
    void* piece = nullptr;
    if (Gdi().CloneBitmapAreaI(s.left, s.top, s.right - s.left, s.bottom - s.top, kPixelFormat32bppPARGB,
                               bitmap, &piece) != 0 ||
        !piece) {
      Draw(bitmap, d, s);
      return;
    }
    Draw(piece, d, RECT{0, 0, s.right - s.left, s.bottom - s.top});
    Gdi().DisposeImage(piece);
  }

 private:
  void* graphics_ = nullptr;
  void* attributes_ = nullptr;
};

}  // namespace

bool GdiPlusAvailable() {
  return Gdi().Ready;
}

TDLXImage::~TDLXImage() {
  Clear();
}

void TDLXImage::Clear() {
  if (bitmap_) Gdi().DisposeImage(bitmap_);
  bitmap_ = nullptr;
  width_ = height_ = 0;
}

void TDLXImage::Adopt(void* bitmap) {
  Clear();
  if (!bitmap) return;
  UINT width = 0, height = 0;
  Gdi().GetImageWidth(bitmap, &width);
  Gdi().GetImageHeight(bitmap, &height);
  bitmap_ = bitmap;
  width_ = static_cast<int>(width);
  height_ = static_cast<int>(height);
}

bool TDLXImage::LoadFromMemory(const void* data, size_t size) {
  Clear();
  TGdiPlus& gdi = Gdi();
  if (!gdi.Ready || !data || size == 0 || size > UINT_MAX) return false;
  TComPtr<IStream> stream(SHCreateMemStream(static_cast<const BYTE*>(data), static_cast<UINT>(size)));
  if (!stream) return false;
  void* decoded = nullptr;
  if (gdi.CreateBitmapFromStream(stream.Get(), &decoded) != 0 || !decoded) return false;
  // A copy in premultiplied 32-bit form draws fast and no longer needs the stream.
  void* copy = nullptr;
  UINT width = 0, height = 0;
  gdi.GetImageWidth(decoded, &width);
  gdi.GetImageHeight(decoded, &height);
  if (gdi.CloneBitmapAreaI(0, 0, static_cast<INT>(width), static_cast<INT>(height), kPixelFormat32bppPARGB,
                           decoded, &copy) != 0)
    copy = nullptr;
  if (copy) {
    gdi.DisposeImage(decoded);
    Adopt(copy);
  } else {
    Adopt(decoded);
  }
  return true;
}

bool TDLXImage::LoadFromStream(TDLXStream& stream) {
  const int64_t position = stream.GetPosition();
  const int64_t size = stream.GetSize() - position;
  if (size <= 0 || size > 256 * 1024 * 1024) {
    Clear();
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  bytes.resize(stream.Read(bytes.data(), bytes.size()));
  return LoadFromMemory(bytes.data(), bytes.size());
}

bool TDLXImage::LoadFromFile(const String& fileName) {
  TScopedHandle file(
      CreateFileW(W(fileName), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > 256 * 1024 * 1024) {
    Clear();
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    Clear();
    return false;
  }
  return LoadFromMemory(bytes.data(), read);
}

bool TDLXImage::LoadFromResource(HMODULE module, const String& name) {
  HRSRC resource = FindResourceW(module, W(name), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) {
    Clear();
    return false;
  }
  return LoadFromMemory(data, SizeofResource(module, resource));
}

void TDLXImage::Draw(HDC dc, const RECT& dest, uint8_t opacity) const {
  DrawPart(dc, dest, RECT{0, 0, width_, height_}, opacity);
}

void TDLXImage::DrawPart(HDC dc, const RECT& dest, const RECT& source, uint8_t opacity) const {
  if (!bitmap_ || opacity == 0) return;
  TGraphics graphics(dc, opacity);
  graphics.Draw(bitmap_, dest, source);
}

void DrawSkinTexture(HDC dc, const RECT& dest, const TDLXSkinTexture& texture, int frame, int numerator,
                     int denominator, uint8_t opacity) {
  if (!texture.Image || texture.Image->Empty() || opacity == 0) return;
  const TDLXImage& image = *texture.Image;
  const int frameHeight = image.Height() / texture.Frames;
  if (frame < 0 || frame >= texture.Frames || frameHeight <= 0) return;
  const int top = frame * frameHeight;
  const TDLXSkinMargins& m = texture.Margins;
  // Some GDI+ implementations (Wine's) leave the edge rows and columns of a stretched picture
  // uncovered, and the background would show as seams between the slices: no half-pixel offset
  // keeps the first row and column covered, and each slice reaches one pixel into the next one,
  // drawn after it, for the last.
  TGraphics graphics(dc, opacity, kPixelOffsetNone);
  if (m.Left == 0 && m.Top == 0 && m.Right == 0 && m.Bottom == 0) {
    graphics.DrawIsolated(image.Bitmap(), dest, RECT{0, top, image.Width(), top + frameHeight});
    return;
  }
  // Source cuts in picture pixels, destination cuts in device pixels.
  const int s = texture.Scale;
  const std::array<int, 4> sx{0, m.Left * s, image.Width() - m.Right * s, image.Width()};
  const std::array<int, 4> sy{top, top + m.Top * s, top + frameHeight - m.Bottom * s, top + frameHeight};
  const int dl =
      std::min(MulDiv(m.Left, numerator, denominator), static_cast<int>(dest.right - dest.left) / 2);
  const int dr =
      std::min(MulDiv(m.Right, numerator, denominator), static_cast<int>(dest.right - dest.left) / 2);
  const int dt =
      std::min(MulDiv(m.Top, numerator, denominator), static_cast<int>(dest.bottom - dest.top) / 2);
  const int db =
      std::min(MulDiv(m.Bottom, numerator, denominator), static_cast<int>(dest.bottom - dest.top) / 2);
  const std::array<int, 4> dx{dest.left, dest.left + dl, dest.right - dr, dest.right};
  const std::array<int, 4> dy{dest.top, dest.top + dt, dest.bottom - db, dest.bottom};
  const auto reach = [](const std::array<int, 4>& cuts, int i) {
    return cuts[i + 1] + (i < 2 && cuts[i + 1] > cuts[i] && cuts[i + 1] < cuts[3] ? 1 : 0);
  };
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column)
      graphics.DrawIsolated(image.Bitmap(), RECT{dx[column], dy[row], reach(dx, column), reach(dy, row)},
                            RECT{sx[column], sy[row], sx[column + 1], sy[row + 1]});
}

bool SaveWindowToPng(HWND window, const String& fileName) {
  TGdiPlus& gdi = Gdi();
  RECT rect;
  if (!gdi.Ready || !GetClientRect(window, &rect)) return false;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC windowDc = GetDC(window);
  if (!windowDc) return false;
  HDC memory = CreateCompatibleDC(windowDc);
  HBITMAP bitmap = CreateCompatibleBitmap(windowDc, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  bool copied = BitBlt(memory, 0, 0, width, height, windowDc, 0, 0, SRCCOPY) != FALSE;
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(window, windowDc);
  bool saved = false;
  void* image = nullptr;
  if (copied && gdi.CreateBitmapFromHBITMAP(bitmap, nullptr, &image) == 0 && image) {
    saved = gdi.SaveImageToFile(image, W(fileName), &kPngEncoder, nullptr) == 0;
    gdi.DisposeImage(image);
  }
  DeleteObject(bitmap);
  return saved;
}

void FillSolidRect(HDC dc, const RECT& rect, COLORREF color) {
  const COLORREF old = SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

void FrameSolidRect(HDC dc, const RECT& r, COLORREF color, int width) {
  FillSolidRect(dc, RECT{r.left, r.top, r.right, r.top + width}, color);
  FillSolidRect(dc, RECT{r.left, r.bottom - width, r.right, r.bottom}, color);
  FillSolidRect(dc, RECT{r.left, r.top, r.left + width, r.bottom}, color);
  FillSolidRect(dc, RECT{r.right - width, r.top, r.right, r.bottom}, color);
}

TDLXBufferedPaint::TDLXBufferedPaint(HDC target, const RECT& rect) : target_(target), rect_(rect) {
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  dc_ = CreateCompatibleDC(target);
  bitmap_ = dc_ ? CreateCompatibleBitmap(target, width, height) : nullptr;
  if (!bitmap_) {
    if (dc_) DeleteDC(dc_);
    dc_ = nullptr;
    return;
  }
  old_ = SelectObject(dc_, bitmap_);
  SetWindowOrgEx(dc_, rect.left, rect.top, nullptr);
}

TDLXBufferedPaint::~TDLXBufferedPaint() {
  if (!dc_) return;
  BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, dc_, rect_.left,
         rect_.top, SRCCOPY);
  SelectObject(dc_, old_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

}  // namespace dlx
