// A drop-down list whose items carry a picture from an image list, a text, an integer tag and a
// data value: a system COMBOBOX (so keyboard, type-ahead and screen readers work as usual) whose
// face and items the library paints.
#pragma once

#include "lib/ui/accessible.h"
#include "lib/ui/control.h"
#include "lib/ui/image_list.h"

namespace dlx {

struct TDLXImageComboItem {
  String Text;
  int ImageIndex = -1;
  int Tag = 0;
  intptr_t Data = 0;
};

class TDLXImageComboBox : public TDLXCustomControl, private IDLXAccessibleSource {
 public:
  explicit TDLXImageComboBox(TDLXCustomControl& parent);

  void SetImages(const TDLXImageList* images);
  // Inserts an item at a position (0..Count) and answers that position.
  int InsertItem(int position, const TDLXImageComboItem& item);
  int AddItem(const TDLXImageComboItem& item) { return InsertItem(Count(), item); }
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }
  const TDLXImageComboItem& Item(int index) const { return items_[static_cast<size_t>(index)]; }
  // The first item with the tag, or -1.
  int FindByTag(int tag) const;
  // -1 when nothing is selected.
  int ItemIndex() const;
  void SetItemIndex(int index);

  // Called when the user selects another item.
  std::function<void()> OnChange;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void Paint(HDC dc, const RECT& client) override;
  void ScaleChanged() override;

 private:
  void DrawItem(HDC dc, const RECT& rect, int index, bool selected);
  // Screen readers: the component name, the combo box role, the selected item's text.
  String AccessibleName() override { return Name(); }
  long AccessibleRole() override;
  String AccessibleValue() override;
  int ItemHeight() const { return ScaleValue(20); }

  const TDLXImageList* images_ = nullptr;
  std::vector<TDLXImageComboItem> items_;
  HBRUSH listBrush_ = nullptr;
  bool hot_ = false;
};

}  // namespace dlx
