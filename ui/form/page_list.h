// The wizard's pages in the order they are shown, owned, and the questions of navigation that
// depend on the neighbours of a page: which available page comes next or before, and whether the
// user may move there.
//
// How the form uses it: it owns one list, filled once by CreateInstallerPages when it is created;
// the navigator asks it where Back and Next lead and the progress strip asks it for the index of
// the active page. Pages live as long as the list, so hidden pages keep their state.
#pragma once

#include <memory>
#include <vector>

#include "ui/form/custom_page.h"

class TInstallerPageList {
 public:
  TInstallerPageList() = default;
  TInstallerPageList(const TInstallerPageList&) = delete;
  TInstallerPageList& operator=(const TInstallerPageList&) = delete;

  // Creates a page through its class reference and appends it. A missing class reference or a
  // class that makes no page adds nothing and answers null.
  TInstallerCustomPage* AddPage(TInstallerPageClass pageClass);
  TInstallerCustomPage* Add(std::unique_ptr<TInstallerCustomPage> page);

  int Count() const { return static_cast<int>(pages_.size()); }
  TInstallerCustomPage* Items(int index) const;
  // The index of the page, -1 when it is not in the list (or null).
  int IndexOf(const TInstallerCustomPage* page) const;
  // Null for an empty list.
  TInstallerCustomPage* First() const;
  TInstallerCustomPage* Last() const;

  // The first available page after the page (from the start when the page is not in the list).
  TInstallerCustomPage* NextAvailable(const TInstallerCustomPage* page) const;
  // The first available page before the page; null when the page is not in the list.
  TInstallerCustomPage* PrevAvailable(const TInstallerCustomPage* page) const;
  // The page is given, lets the user leave in that direction, and an available page lies there.
  bool CanGoBackFrom(const TInstallerCustomPage* page) const;
  bool CanGoNextFrom(const TInstallerCustomPage* page) const;

 private:
  std::vector<std::unique_ptr<TInstallerCustomPage>> pages_;
};
