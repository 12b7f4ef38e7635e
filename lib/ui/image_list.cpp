#include "lib/ui/image_list.h"

#include <algorithm>
#include <cstring>

namespace dlx {
namespace {

#pragma pack(push, 1)
struct TIconDirectory {
  WORD Reserved;
  WORD Type;  // 1: icon
  WORD Count;
};
struct TIconDirectoryEntry {
  BYTE Width;
  BYTE Height;
  BYTE ColorCount;
  BYTE Reserved;
  WORD Planes;
  WORD BitCount;
  DWORD BytesInRes;
  DWORD ImageOffset;
};
#pragma pack(pop)

}  // namespace

bool TDLXIcon::LoadFromStream(TDLXStream& stream, int width, int height) {
  const int64_t size = stream.GetSize() - stream.GetPosition();
  if (size <= 0 || size > 16 * 1024 * 1024) {
    Clear();
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  bytes.resize(stream.Read(bytes.data(), bytes.size()));
  return LoadFromMemory(bytes.data(), bytes.size(), width, height);
}

bool TDLXIcon::LoadFromMemory(const void* data, size_t size, int width, int height) {
  Clear();
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (!bytes || size < sizeof(TIconDirectory)) return false;
  TIconDirectory directory;
  std::memcpy(&directory, bytes, sizeof(directory));
  if (directory.Reserved != 0 || directory.Type != 1 || directory.Count == 0) return false;
  if (size < sizeof(TIconDirectory) + directory.Count * sizeof(TIconDirectoryEntry)) return false;
  // The entry closest in size, the deepest colours among equals.
  int best = -1;
  long bestScore = 0;
  TIconDirectoryEntry chosen{};
  for (int i = 0; i < directory.Count; ++i) {
    TIconDirectoryEntry entry;
    std::memcpy(&entry, bytes + sizeof(TIconDirectory) + i * sizeof(TIconDirectoryEntry), sizeof(entry));
    if (entry.ImageOffset >= size || entry.BytesInRes == 0 || entry.BytesInRes > size - entry.ImageOffset)
      continue;
    const int w = entry.Width ? entry.Width : 256, h = entry.Height ? entry.Height : 256;
    const long score = std::abs(w - width) * 1000L + std::abs(h - height) * 1000L - entry.BitCount;
    if (best < 0 || score < bestScore) {
      best = i;
      bestScore = score;
      chosen = entry;
    }
  }
  if (best < 0) return false;
  // CreateIconFromResourceEx wants a writable copy of the image it may touch.
  std::vector<BYTE> image(bytes + chosen.ImageOffset, bytes + chosen.ImageOffset + chosen.BytesInRes);
  icon_ = CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE, 0x00030000, width,
                                   height, LR_DEFAULTCOLOR);
  return icon_ != nullptr;
}

void TDLXIcon::Clear() {
  if (icon_) DestroyIcon(icon_);
  icon_ = nullptr;
}

int TDLXImageList::AddIcon(const TDLXIcon& icon) {
  return AddIcon(icon.Handle());
}

int TDLXImageList::AddIcon(HICON icon) {
  if (!icon) return -1;
  HICON copy = CopyIcon(icon);
  if (!copy) return -1;
  icons_.push_back(copy);
  return static_cast<int>(icons_.size()) - 1;
}

void TDLXImageList::Clear() {
  for (HICON icon : icons_) DestroyIcon(icon);
  icons_.clear();
}

bool TDLXImageList::Draw(HDC dc, int index, int x, int y, int width, int height) const {
  if (index < 0 || index >= Count()) return false;
  return DrawIconEx(dc, x, y, icons_[static_cast<size_t>(index)], width, height, 0, nullptr, DI_NORMAL) !=
         FALSE;
}

}  // namespace dlx
