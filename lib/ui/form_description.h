// Forms described in text instead of code: the controls, their names and properties, nested as
// they sit on each other. The text (UTF-8 when it comes from a resource) reads like this:
//
//   object LanguageForm: TDLXForm
//     Caption = 'Select Language'
//     ClientWidth = 220
//     ClientHeight = 75
//     object OK: TDLXButton
//       Caption = 'OK'
//       Align = alBottom
//       Margins = 60, 0, 60, 8
//       Height = 25
//       ModalResult = 1
//       Default = True
//     end
//   end
//
// Strings are in single quotes (two quotes for one); numbers, True/False, alignments (alTop...)
// and four-number lists (Margins, Bounds) are written as they are. Lines starting with "//" are
// comments. The classes are the library's controls: TDLXPanel, TDLXLabel, TDLXValidationLabel,
// TDLXFormattedLabel, TDLXButton, TDLXCheckBox, TDLXRadioBox, TDLXEdit, TDLXMemo,
// TDLXRichViewer, TDLXProgressBar, TDLXImageComboBox. The properties: Caption, Left, Top,
// Width, Height, Bounds, Align, Margins, Visible, Enabled, Font.Size, Font.Bold, Font.Name, and
// by class Default, ModalResult, Checked, GroupIndex, WordWrap, AutoSize, Transparent, Url,
// Alignment (taLeft/taCenter/taRight), Text, ReadOnly; for the form ClientWidth, ClientHeight,
// BorderStyle (bsDialog/bsSizeable/bsSingle).
#pragma once

#include "lib/ui/form.h"

namespace dlx {

// A description that cannot be read; the message names the line.
class EDLXFormDescriptionError : public EDLXException {
 public:
  using EDLXException::EDLXException;
};

// Creates the described controls on the form (owned by their parents) and sets the properties,
// the root object's on the form itself.
void LoadFormDescription(TDLXForm& form, StringView description);
// The same from an RT_RCDATA resource; false when the resource is missing.
bool LoadFormDescriptionResource(TDLXForm& form, HMODULE module, const String& name);

// The control with the component name at any depth below root (root itself included); null when
// there is none.
TDLXCustomControl* FindComponent(TDLXCustomControl& root, StringView name);
template <typename T>
T* FindComponent(TDLXCustomControl& root, StringView name) {
  return dynamic_cast<T*>(FindComponent(root, name));
}

}  // namespace dlx
