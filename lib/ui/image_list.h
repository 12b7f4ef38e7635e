// Icons and pictures for lists: an icon object read from an icon file, and the image list that
// the image combo box draws its items' pictures from.
#pragma once

#include <windows.h>

#include <vector>

#include "lib/stream.h"

namespace dlx {

// One icon, chosen from an icon file for a size.
class TDLXIcon {
 public:
  TDLXIcon() = default;
  ~TDLXIcon() { Clear(); }
  TDLXIcon(const TDLXIcon&) = delete;
  TDLXIcon& operator=(const TDLXIcon&) = delete;

  // The image of the icon file (from the stream's position) that best fits the size; false and
  // an empty icon when the data is no icon file.
  bool LoadFromStream(TDLXStream& stream, int width = 16, int height = 16);
  bool LoadFromMemory(const void* data, size_t size, int width = 16, int height = 16);
  void Clear();
  bool Empty() const { return icon_ == nullptr; }
  HICON Handle() const { return icon_; }

 private:
  HICON icon_ = nullptr;
};

class TDLXImageList {
 public:
  TDLXImageList(int width = 16, int height = 16) : width_(width), height_(height) {}
  ~TDLXImageList() { Clear(); }
  TDLXImageList(const TDLXImageList&) = delete;
  TDLXImageList& operator=(const TDLXImageList&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const { return static_cast<int>(icons_.size()); }
  // Adds a copy of the icon; the index, or -1 when the icon is empty or cannot be copied.
  int AddIcon(const TDLXIcon& icon);
  int AddIcon(HICON icon);
  void Clear();
  // Draws picture `index` at a size (the list's size scaled by the caller); false for a bad index.
  bool Draw(HDC dc, int index, int x, int y, int width, int height) const;

 private:
  int width_;
  int height_;
  std::vector<HICON> icons_;
};

}  // namespace dlx
