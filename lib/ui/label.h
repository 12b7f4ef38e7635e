// Text controls: the label (a STATIC window the library paints) and the validation label, a label
// with a status icon.
#pragma once

#include "lib/ui/control.h"

namespace dlx {

enum class TDLXTextAlign { taLeft, taCenter, taRight };
enum class TDLXVerticalAlign { vaTop, vaCenter };

class TDLXLabel : public TDLXCustomControl {
 public:
  explicit TDLXLabel(TDLXCustomControl& parent, const String& caption = String());

  // A transparent label shows its parent's painting behind the text; otherwise it fills its area
  // with the skin's label background.
  void SetTransparent(bool transparent);
  bool Transparent() const { return transparent_; }
  void SetWordWrap(bool wordWrap);
  void SetAlignment(TDLXTextAlign alignment);
  void SetVerticalAlignment(TDLXVerticalAlign alignment);
  // A label with a URL is drawn underlined in the link colour, shows the hand cursor and opens the
  // URL with the shell's "open" verb when clicked.
  void SetUrl(const String& url);
  const String& Url() const { return url_; }
  // With automatic size the label takes the size of its text (keeping its width when it wraps).
  void SetAutoSize(bool autoSize);
  void AdjustSize();

  std::function<void()> OnClick;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void Paint(HDC dc, const RECT& client) override;
  void ScaleChanged() override { AdjustSize(); }
  void FontChanged() override { AdjustSize(); }
  // Space before the text (the validation label's icon), in device pixels.
  virtual int TextIndent() const { return 0; }
  virtual void PaintDecoration(HDC dc, const RECT& client) {}
  UINT TextFlags() const;
  COLORREF TextColor() const;

 private:
  bool transparent_ = false;
  bool wordWrap_ = false;
  bool autoSize_ = false;
  bool adjusting_ = false;
  TDLXTextAlign alignment_ = TDLXTextAlign::taLeft;
  TDLXVerticalAlign verticalAlignment_ = TDLXVerticalAlign::vaTop;
  String url_;
};

enum class TDLXValidationKind { vliSuccess, vliWarning, vliError, vliCriticalWarning, vliInformation };

// A label with an icon of its kind at the left, vertically centred; the text begins 5 pixels
// (scaled) after the icon. The icons are the frames of the skin's "Labels.Textures.Icons".
class TDLXValidationLabel : public TDLXLabel {
 public:
  explicit TDLXValidationLabel(TDLXCustomControl& parent, const String& caption = String(),
                               TDLXValidationKind kind = TDLXValidationKind::vliWarning);
  void SetKind(TDLXValidationKind kind);
  TDLXValidationKind Kind() const { return kind_; }

 protected:
  int TextIndent() const override;
  void PaintDecoration(HDC dc, const RECT& client) override;

 private:
  TDLXValidationKind kind_;
};

// Opens a link target with the shell's "open" verb.
void OpenLink(const String& target);

}  // namespace dlx
