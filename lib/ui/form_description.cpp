#include "lib/ui/form_description.h"

#include <array>
#include <functional>
#include <map>
#include <vector>

#include "lib/ui/button.h"
#include "lib/ui/edit.h"
#include "lib/ui/formatted_label.h"
#include "lib/ui/image_combo_box.h"
#include "lib/ui/label.h"
#include "lib/ui/panel.h"
#include "lib/ui/progress_bar.h"
#include "lib/ui/rich_viewer.h"

namespace dlx {
namespace {

using TFactory = std::function<TDLXCustomControl&(TDLXCustomControl& parent)>;

const std::map<String, TFactory, std::less<>>& Factories() {
  static const std::map<String, TFactory, std::less<>> factories{
      {u"TDLXPanel", [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXPanel>(); }},
      {u"TDLXLabel", [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXLabel>(); }},
      {u"TDLXValidationLabel",
       [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXValidationLabel>(); }},
      {u"TDLXFormattedLabel",
       [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXFormattedLabel>(); }},
      {u"TDLXButton", [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXButton>(); }},
      {u"TDLXCheckBox", [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXCheckBox>(); }},
      {u"TDLXRadioBox", [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXRadioBox>(); }},
      {u"TDLXEdit", [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXEdit>(); }},
      {u"TDLXMemo", [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXMemo>(); }},
      {u"TDLXRichViewer", [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXRichViewer>(); }},
      {u"TDLXProgressBar",
       [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXProgressBar>(); }},
      {u"TDLXImageComboBox",
       [](TDLXCustomControl& p) -> TDLXCustomControl& { return p.Add<TDLXImageComboBox>(); }},
  };
  return factories;
}

StringView Trim(StringView text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t' || text.back() == u'\r'))
    text.remove_suffix(1);
  return text;
}

class TLoader {
 public:
  explicit TLoader(TDLXForm& form) : form_(form) {}

  void Load(StringView text) {
    std::vector<TDLXCustomControl*> stack;
    while (!text.empty()) {
      ++line_;
      const size_t end = text.find(u'\n');
      const StringView line = Trim(text.substr(0, end));
      text.remove_prefix(end == StringView::npos ? text.size() : end + 1);
      if (line.empty() || line.starts_with(u"//")) continue;
      if (line.starts_with(u"object ")) {
        const StringView rest = Trim(line.substr(7));
        const size_t colon = rest.find(u':');
        if (colon == StringView::npos) Fail(u"\"object Name: Class\" expected");
        const StringView name = Trim(rest.substr(0, colon));
        const StringView className = Trim(rest.substr(colon + 1));
        TDLXCustomControl* control = nullptr;
        if (stack.empty()) {
          if (className != u"TDLXForm") Fail(u"the first object must be the form (TDLXForm)");
          control = &form_;
        } else {
          const auto factory = Factories().find(className);
          if (factory == Factories().end()) Fail(u"unknown class " + String(className));
          control = &factory->second(*stack.back());
        }
        control->SetName(String(name));
        stack.push_back(control);
      } else if (line == u"end") {
        if (stack.empty()) Fail(u"\"end\" without an object");
        stack.pop_back();
      } else {
        if (stack.empty()) Fail(u"a property outside of an object");
        const size_t equals = line.find(u'=');
        if (equals == StringView::npos) Fail(u"\"Property = Value\" expected");
        Apply(*stack.back(), Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
      }
    }
    if (!stack.empty()) Fail(u"\"end\" missing");
  }

 private:
  [[noreturn]] void Fail(const String& why) {
    throw EDLXFormDescriptionError(u"Form description line " + IntToStr(line_) + u": " + why);
  }

  String Text(StringView value) {
    if (value.size() < 2 || value.front() != u'\'' || value.back() != u'\'') Fail(u"a quoted text expected");
    String text;
    for (size_t i = 1; i + 1 < value.size(); ++i) {
      if (value[i] == u'\'') {
        if (i + 2 >= value.size() || value[i + 1] != u'\'') Fail(u"a lone quote inside a text");
        ++i;
      }
      text += value[i];
    }
    return text;
  }

  int Integer(StringView value) {
    int64_t number = 0;
    if (!TryStrToInt(value, number) || number < INT32_MIN || number > INT32_MAX) Fail(u"a number expected");
    return static_cast<int>(number);
  }

  bool Boolean(StringView value) {
    if (SameTextAscii(value, u"True")) return true;
    if (SameTextAscii(value, u"False")) return false;
    Fail(u"True or False expected");
  }

  std::array<int, 4> Four(StringView value) {
    std::array<int, 4> numbers{};
    for (size_t i = 0; i < 4; ++i) {
      const size_t comma = value.find(u',');
      if ((comma == StringView::npos) != (i == 3)) Fail(u"four numbers expected");
      numbers[i] = Integer(Trim(value.substr(0, comma)));
      if (comma != StringView::npos) value.remove_prefix(comma + 1);
    }
    return numbers;
  }

  template <typename T>
  T& As(TDLXCustomControl& control, StringView property) {
    auto* typed = dynamic_cast<T*>(&control);
    if (!typed) Fail(String(property) + u" is not a property of " + control.Name());
    return *typed;
  }

  void Apply(TDLXCustomControl& c, StringView property, StringView value) {
    const RECT& b = c.Bounds();
    if (property == u"Caption") {
      if (auto* formatted = dynamic_cast<TDLXFormattedLabel*>(&c))
        formatted->SetCaption(Text(value));
      else
        c.SetCaption(Text(value));
    } else if (property == u"Left") {
      c.SetBounds(Integer(value), b.top, c.Width(), c.Height());
    } else if (property == u"Top") {
      c.SetBounds(b.left, Integer(value), c.Width(), c.Height());
    } else if (property == u"Width") {
      c.SetWidth(Integer(value));
    } else if (property == u"Height") {
      c.SetHeight(Integer(value));
    } else if (property == u"Bounds") {
      const auto v = Four(value);
      c.SetBounds(v[0], v[1], v[2], v[3]);
    } else if (property == u"Margins") {
      const auto v = Four(value);
      c.SetMargins(TDLXMargins{v[0], v[1], v[2], v[3]});
    } else if (property == u"Align") {
      static const std::map<String, TDLXAlign, std::less<>> aligns{
          {u"alNone", TDLXAlign::alNone},     {u"alTop", TDLXAlign::alTop},
          {u"alBottom", TDLXAlign::alBottom}, {u"alLeft", TDLXAlign::alLeft},
          {u"alRight", TDLXAlign::alRight},   {u"alClient", TDLXAlign::alClient}};
      const auto align = aligns.find(value);
      if (align == aligns.end()) Fail(u"an alignment (alTop...) expected");
      c.SetAlign(align->second);
    } else if (property == u"Visible") {
      c.SetVisible(Boolean(value));
    } else if (property == u"Enabled") {
      c.SetEnabled(Boolean(value));
    } else if (property == u"Font.Size" || property == u"Font.Bold" || property == u"Font.Name") {
      TDLXFont font = c.Font();
      if (property == u"Font.Size") font.Size = Integer(value);
      if (property == u"Font.Bold") font.Bold = Boolean(value);
      if (property == u"Font.Name") font.Name = Text(value);
      c.SetFont(font);
    } else if (property == u"ClientWidth") {
      auto& form = As<TDLXForm>(c, property);
      form.SetClientSize(Integer(value), form.ClientHeight());
    } else if (property == u"ClientHeight") {
      auto& form = As<TDLXForm>(c, property);
      form.SetClientSize(form.ClientWidth(), Integer(value));
    } else if (property == u"BorderStyle") {
      auto& form = As<TDLXForm>(c, property);
      if (value == u"bsDialog")
        form.SetBorderStyle(TDLXBorderStyle::bsDialog);
      else if (value == u"bsSizeable")
        form.SetBorderStyle(TDLXBorderStyle::bsSizeable);
      else if (value == u"bsSingle")
        form.SetBorderStyle(TDLXBorderStyle::bsSingle);
      else
        Fail(u"a border style (bsDialog...) expected");
    } else if (property == u"Default") {
      As<TDLXButton>(c, property).SetDefault(Boolean(value));
    } else if (property == u"ModalResult") {
      As<TDLXButton>(c, property).SetModalResult(Integer(value));
    } else if (property == u"Checked") {
      As<TDLXCheckBox>(c, property).SetChecked(Boolean(value));
    } else if (property == u"GroupIndex") {
      As<TDLXRadioBox>(c, property).SetGroupIndex(Integer(value));
    } else if (property == u"WordWrap") {
      if (auto* check = dynamic_cast<TDLXCheckBox*>(&c))
        check->SetWordWrap(Boolean(value));
      else
        As<TDLXLabel>(c, property).SetWordWrap(Boolean(value));
    } else if (property == u"AutoSize") {
      if (auto* formatted = dynamic_cast<TDLXFormattedLabel*>(&c))
        formatted->SetAutoHeight(Boolean(value));
      else
        As<TDLXLabel>(c, property).SetAutoSize(Boolean(value));
    } else if (property == u"Transparent") {
      As<TDLXLabel>(c, property).SetTransparent(Boolean(value));
    } else if (property == u"Url") {
      As<TDLXLabel>(c, property).SetUrl(Text(value));
    } else if (property == u"Alignment") {
      auto& label = As<TDLXLabel>(c, property);
      if (value == u"taLeft")
        label.SetAlignment(TDLXTextAlign::taLeft);
      else if (value == u"taCenter")
        label.SetAlignment(TDLXTextAlign::taCenter);
      else if (value == u"taRight")
        label.SetAlignment(TDLXTextAlign::taRight);
      else
        Fail(u"an alignment (taLeft...) expected");
    } else if (property == u"Text") {
      As<TDLXCustomEdit>(c, property).SetText(Text(value));
    } else if (property == u"ReadOnly") {
      As<TDLXCustomEdit>(c, property).SetReadOnly(Boolean(value));
    } else {
      Fail(u"unknown property " + String(property));
    }
  }

  TDLXForm& form_;
  int line_ = 0;
};

}  // namespace

void LoadFormDescription(TDLXForm& form, StringView description) {
  TLoader(form).Load(description);
}

bool LoadFormDescriptionResource(TDLXForm& form, HMODULE module, const String& name) {
  HRSRC resource = FindResourceW(module, W(name), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return false;
  std::string_view utf8(static_cast<const char*>(data), SizeofResource(module, resource));
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  LoadFormDescription(form, FromUtf8(utf8));
  return true;
}

TDLXCustomControl* FindComponent(TDLXCustomControl& root, StringView name) {
  if (root.Name() == name) return &root;
  for (TDLXCustomControl* child : root.Controls())
    if (TDLXCustomControl* found = FindComponent(*child, name)) return found;
  return nullptr;
}

}  // namespace dlx
