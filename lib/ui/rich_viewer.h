// A read-only rich text view (the license and the summary): RICHEDIT50W from the system's
// MSFTEDIT.DLL, with zoom following the scale.
//
// Links are the rich edit's own: the addresses it detects in the text (web and mail addresses) and
// the RTF's hyperlink fields. It shows the hand cursor over them and reports clicks (EN_LINK); a
// click follows the link. Text without a colour of its own takes the skin's text colour and links
// without one the skin's link colour (the rich edit's defaults are unreadable on a dark skin);
// colours the RTF gives stay.
#pragma once

#include <functional>
#include <vector>

#include "lib/stream.h"
#include "lib/ui/edit.h"

namespace dlx {

class TDLXRichViewer : public TDLXMemo {
 public:
  explicit TDLXRichViewer(TDLXCustomControl& parent);
  // Whether the rich edit library could be loaded; without it the viewer is a plain memo.
  bool IsRichEdit() const { return rich_; }
  // Loads RTF (or plain text) from the rest of the stream.
  void LoadFromStream(TDLXStream& stream, bool rtf = true);
  // Shows plain text in the skin's colours.
  void SetPlainText(const String& text);
  // The viewer's zoom on top of the scale factor (1/1 by default).
  void SetZoom(int numerator, int denominator);
  // Called with the link's target when a link is clicked; without it the link is opened.
  std::function<void(const String& target)> OnLinkClick;

  struct TLink {
    LONG First;  // character positions of the rich edit, end exclusive
    LONG End;
    String Target;
  };
  // The links of the text as the rich edit marks them, in text order.
  const std::vector<TLink>& Links() const { return links_; }

  // What a link's characters stand for: the address of a hyperlink field's instruction
  // (HYPERLINK "target"), else the text itself, a mail address as "mailto:" and "www." as "http://".
  static String LinkTarget(const String& text);

 protected:
  bool HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void ColorSchemeChanged(unsigned flags) override;
  void ScaleChanged() override;

 private:
  // A stretch of characters with one colour setting.
  struct TRun {
    LONG First;
    LONG End;
  };
  // Walks the text's formatting once after a load: the links and the stretches that have the
  // automatic colour, which ApplyColors then colours (and colours again for a new scheme).
  void ReadRuns();
  void ApplyColors();
  void ApplyZoom();
  String TextRange(LONG first, LONG end) const;

  bool rich_ = false;
  int zoomNumerator_ = 1;
  int zoomDenominator_ = 1;
  std::vector<TLink> links_;
  std::vector<TRun> plainRuns_;  // automatic colour, not a link
  std::vector<TRun> linkRuns_;   // automatic colour, a link
};

}  // namespace dlx
