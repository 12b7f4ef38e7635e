#include "lib/ui/skin.h"

#include <array>

#include "lib/ui/graphics.h"

namespace dlx {
namespace {

struct TNamedColor {
  const char16_t* Name;
  uint32_t Argb;
};

// The colour names the skins use, with the values of the usual alpha-colour table.
constexpr std::array<TNamedColor, 12> kNamedColors{{
    {u"claNull", 0x00000000},
    {u"claBlack", 0xFF000000},
    {u"claWhite", 0xFFFFFFFF},
    {u"claGray", 0xFF808080},
    {u"claSilver", 0xFFC0C0C0},
    {u"claRed", 0xFFFF0000},
    {u"claGreen", 0xFF008000},
    {u"claBlue", 0xFF0000FF},
    {u"claYellow", 0xFFFFFF00},
    {u"claOrange", 0xFFFFA500},
    {u"claNavy", 0xFF000080},
    {u"claMaroon", 0xFF800000},
}};

// The IDs that Windows 11 answers with their ".W11" variant.
constexpr std::array<StringView, 4> kWindows11Ids{u"Buttons.Textures.Button", u"Popup.Margins.Borders",
                                                  u"Popup.Margins.CornerRadius", u"Slider.Textures.Thumb"};

// A chain longer than this is taken for a cycle.
constexpr int kMaxReferenceDepth = 16;

StringView Trim(StringView text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t' || text.back() == u'\r'))
    text.remove_suffix(1);
  return text;
}

bool ParseInt(StringView text, int& value) {
  int64_t v = 0;
  if (!TryStrToInt(Trim(text), v) || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

bool ParseMargins(StringView text, TDLXSkinMargins& margins) {
  std::array<int, 4> values{};
  for (size_t i = 0; i < values.size(); ++i) {
    const size_t comma = text.find(u',');
    if ((comma == StringView::npos) != (i == values.size() - 1)) return false;
    if (!ParseInt(text.substr(0, comma), values[i])) return false;
    if (comma != StringView::npos) text.remove_prefix(comma + 1);
  }
  margins = {values[0], values[1], values[2], values[3]};
  return true;
}

bool ParseTexture(StringView text, TDLXSkinTexture& texture) {
  size_t space = text.find(u' ');
  texture.Resource = String(text.substr(0, space));
  if (texture.Resource.empty()) return false;
  while (space != StringView::npos) {
    text.remove_prefix(space + 1);
    space = text.find(u' ');
    const StringView attribute = text.substr(0, space);
    if (attribute.empty()) continue;
    const size_t equals = attribute.find(u'=');
    if (equals == StringView::npos) return false;
    const StringView name = attribute.substr(0, equals);
    const StringView value = attribute.substr(equals + 1);
    if (name == u"frames") {
      if (!ParseInt(value, texture.Frames) || texture.Frames < 1) return false;
    } else if (name == u"scale") {
      if (!ParseInt(value, texture.Scale) || texture.Scale < 1) return false;
    } else if (name == u"margins") {
      if (!ParseMargins(value, texture.Margins)) return false;
    } else {
      return false;
    }
  }
  return true;
}

bool ParseFont(StringView text, TDLXSkinFont& font) {
  const size_t comma = text.rfind(u',');
  if (comma == StringView::npos) return false;
  font.Name = String(Trim(text.substr(0, comma)));
  return !font.Name.empty() && ParseInt(text.substr(comma + 1), font.Size) && font.Size > 0;
}

bool ParseItem(StringView kind, StringView value, TDLXSkinItem& item) {
  if (kind == u"color") {
    item.Kind = TDLXSkinItemKind::Color;
    return TDLXSkin::ParseColor(value, item.Color);
  }
  if (kind == u"ref") {
    item.Kind = TDLXSkinItemKind::Reference;
    item.Reference = String(value);
    return !item.Reference.empty();
  }
  if (kind == u"texture") {
    item.Kind = TDLXSkinItemKind::Texture;
    item.Texture = std::make_shared<TDLXSkinTexture>();
    return ParseTexture(value, *item.Texture);
  }
  if (kind == u"font") {
    item.Kind = TDLXSkinItemKind::Font;
    return ParseFont(value, item.Font);
  }
  if (kind == u"margins") {
    item.Kind = TDLXSkinItemKind::Margins;
    return ParseMargins(value, item.Margins);
  }
  if (kind == u"integer") {
    item.Kind = TDLXSkinItemKind::Integer;
    return ParseInt(value, item.Integer);
  }
  return false;
}

}  // namespace

bool TDLXSkin::ParseColor(StringView text, uint32_t& argb) {
  text = Trim(text);
  if (text.size() == 9 && (text[0] == u'x' || text[0] == u'X')) {
    uint32_t value = 0;
    for (size_t i = 1; i < text.size(); ++i) {
      const Char c = text[i];
      int digit;
      if (c >= u'0' && c <= u'9')
        digit = c - u'0';
      else if (c >= u'a' && c <= u'f')
        digit = c - u'a' + 10;
      else if (c >= u'A' && c <= u'F')
        digit = c - u'A' + 10;
      else
        return false;
      value = value << 4 | static_cast<uint32_t>(digit);
    }
    argb = value;
    return true;
  }
  for (const TNamedColor& named : kNamedColors) {
    if (SameTextAscii(text, named.Name)) {
      argb = named.Argb;
      return true;
    }
  }
  return false;
}

void TDLXSkin::Clear() {
  items_.clear();
}

void TDLXSkin::LoadFromText(StringView text) {
  std::map<String, TDLXSkinItem, std::less<>> items;
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const size_t end = text.find(u'\n');
    StringView line = Trim(text.substr(0, end));
    text.remove_prefix(end == StringView::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == u';') continue;
    const auto fail = [&](const char16_t* why) {
      throw EDLXSkinError(u"Skin line " + IntToStr(lineNumber) + u": " + why + u" (" + String(line) + u")");
    };
    const size_t equals = line.find(u'=');
    if (equals == StringView::npos) fail(u"\"=\" is missing");
    const StringView id = Trim(line.substr(0, equals));
    const StringView rest = Trim(line.substr(equals + 1));
    if (id.empty()) fail(u"the ID is missing");
    const size_t space = rest.find(u' ');
    if (space == StringView::npos) fail(u"the value is missing");
    TDLXSkinItem item;
    if (!ParseItem(rest.substr(0, space), Trim(rest.substr(space + 1)), item))
      fail(u"the value is not valid");
    items[String(id)] = std::move(item);
  }
  items_ = std::move(items);
}

bool TDLXSkin::LoadFromResource(HMODULE module, const String& name) {
  HRSRC resource = FindResourceW(module, W(name), MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!resource) return false;
  HGLOBAL loaded = LoadResource(module, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return false;
  const DWORD size = SizeofResource(module, resource);
  std::string_view utf8(static_cast<const char*>(data), size);
  if (utf8.size() >= 3 && utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  LoadFromText(FromUtf8(utf8));
  module_ = module;
  return true;
}

const TDLXSkinItem* TDLXSkin::Resolve(StringView id) const {
  String current(id);
  for (int depth = 0; depth < kMaxReferenceDepth; ++depth) {
    auto found = items_.end();
    if (windows11_) {
      for (StringView w11 : kWindows11Ids) {
        if (current == w11) {
          found = items_.find(current + u".W11");
          break;
        }
      }
    }
    if (found == items_.end()) found = items_.find(current);
    if (found == items_.end()) return nullptr;
    if (found->second.Kind != TDLXSkinItemKind::Reference) return &found->second;
    current = found->second.Reference;
  }
  return nullptr;
}

bool TDLXSkin::FindItem(StringView id, const TDLXSkinItem*& item) const {
  item = Resolve(id);
  return item != nullptr;
}

bool TDLXSkin::FindColor(StringView id, uint32_t& argb) const {
  const TDLXSkinItem* item = Resolve(id);
  if (!item || item->Kind != TDLXSkinItemKind::Color) return false;
  argb = item->Color;
  return true;
}

bool TDLXSkin::FindInteger(StringView id, int& value) const {
  const TDLXSkinItem* item = Resolve(id);
  if (!item || item->Kind != TDLXSkinItemKind::Integer) return false;
  value = item->Integer;
  return true;
}

bool TDLXSkin::FindMargins(StringView id, TDLXSkinMargins& value) const {
  const TDLXSkinItem* item = Resolve(id);
  if (!item || item->Kind != TDLXSkinItemKind::Margins) return false;
  value = item->Margins;
  return true;
}

bool TDLXSkin::FindFont(StringView id, TDLXSkinFont& value) const {
  const TDLXSkinItem* item = Resolve(id);
  if (!item || item->Kind != TDLXSkinItemKind::Font) return false;
  value = item->Font;
  return true;
}

const TDLXSkinTexture* TDLXSkin::FindTexture(StringView id) const {
  const TDLXSkinItem* item = Resolve(id);
  if (!item || item->Kind != TDLXSkinItemKind::Texture) return nullptr;
  TDLXSkinTexture& texture = *item->Texture;
  if (!texture.Image) {
    auto image = std::make_shared<TDLXImage>();
    if (!module_ || !image->LoadFromResource(module_, texture.Resource)) return nullptr;
    texture.Image = std::move(image);
  }
  return &texture;
}

uint32_t TDLXSkin::Color(StringView id, uint32_t fallback) const {
  uint32_t argb;
  return FindColor(id, argb) ? argb : fallback;
}

int TDLXSkin::Integer(StringView id, int fallback) const {
  int value;
  return FindInteger(id, value) ? value : fallback;
}

}  // namespace dlx
