// A label whose caption carries bracket markup (lib/markup.h): bold, italic, struck-out and
// underlined text, colours, background colours, links, and e-mail addresses found in the text.
// A control of the library's own class; transparent, without border, wrapping at words. Pointing
// at a link shows the hand cursor; clicking it calls OnLinkClick, or opens the target when no
// handler is set. A label with links is a tab stop: Enter or Space follows its first link, and
// screen readers offer that as its default action. They read the caption without markup.
#pragma once

#include <array>

#include "lib/markup.h"
#include "lib/ui/accessible.h"
#include "lib/ui/control.h"

namespace dlx {

class TDLXFormattedLabel : public TDLXCustomControl, private IDLXAccessibleSource {
 public:
  explicit TDLXFormattedLabel(TDLXCustomControl& parent, const String& caption = String());
  ~TDLXFormattedLabel() override;

  void SetCaption(const String& caption);
  const String& MarkupCaption() const { return caption_; }
  const std::vector<TDLXMarkupRun>& Runs() const { return runs_; }
  // With automatic height the label takes the height of its wrapped text.
  void SetAutoHeight(bool autoHeight);
  // The height of the laid-out text in device pixels.
  int ContentHeight() const { return contentHeight_; }

  std::function<void(const String& target)> OnLinkClick;
  // Follows a link as a click does.
  void FollowLink(const String& target);
  // The first link of the caption; empty when there is none.
  String FirstLink() const;
  // The link target under a point of the client area; empty when none.
  String LinkAt(POINT point) const;
  // What opening a target means: a target containing "//", with a scheme ("mailto:"), or naming
  // an existing folder is used as it is; anything else gets "http://" in front.
  static String LinkTargetForShell(const String& target);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Paint(HDC dc, const RECT& client) override;
  void FontChanged() override { Relayout(); }
  void ScaleChanged() override { Relayout(); }
  void ColorSchemeChanged(unsigned flags) override { Relayout(); }

 private:
  struct TPiece {
    RECT Rect;
    String Text;
    size_t Run;
  };

  String AccessibleName() override;
  long AccessibleRole() override;
  long AccessibleState() override;
  String AccessibleDefaultAction() override { return FirstLink().empty() ? String() : String(u"Jump"); }
  void AccessibleDoDefaultAction() override { FollowLink(FirstLink()); }
  HFONT StyleFont(const TDLXMarkupStyle& style);
  void ClearFonts();
  void Relayout();

  String caption_;
  std::vector<TDLXMarkupRun> runs_;
  std::vector<TPiece> pieces_;
  std::array<HFONT, 16> fonts_{};
  int contentHeight_ = 0;
  bool autoHeight_ = false;
  bool relayouting_ = false;
};

}  // namespace dlx
