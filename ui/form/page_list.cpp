#include "ui/form/page_list.h"

#include "lib/log.h"

TInstallerCustomPage* TInstallerPageList::AddPage(TInstallerPageClass pageClass) {
  if (!pageClass) {
    dlx::Log("Wizard: a page class was named without a class reference; no page added");
    return nullptr;
  }
  return Add(pageClass());
}

TInstallerCustomPage* TInstallerPageList::Add(std::unique_ptr<TInstallerCustomPage> page) {
  if (!page) {
    dlx::Log("Wizard: a page class made no page; no page added");
    return nullptr;
  }
  pages_.push_back(std::move(page));
  return pages_.back().get();
}

TInstallerCustomPage* TInstallerPageList::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return pages_[static_cast<size_t>(index)].get();
}

int TInstallerPageList::IndexOf(const TInstallerCustomPage* page) const {
  if (!page) return -1;
  for (int i = 0; i < Count(); ++i)
    if (pages_[static_cast<size_t>(i)].get() == page) return i;
  return -1;
}

TInstallerCustomPage* TInstallerPageList::First() const {
  return Items(0);
}

TInstallerCustomPage* TInstallerPageList::Last() const {
  return Items(Count() - 1);
}

TInstallerCustomPage* TInstallerPageList::NextAvailable(const TInstallerCustomPage* page) const {
  // IndexOf answers -1 for a page outside the list, so the scan then starts at the first page.
  for (int i = IndexOf(page) + 1; i < Count(); ++i)
    if (Items(i)->IsAvailable()) return Items(i);
  return nullptr;
}

TInstallerCustomPage* TInstallerPageList::PrevAvailable(const TInstallerCustomPage* page) const {
  for (int i = IndexOf(page) - 1; i >= 0; --i)
    if (Items(i)->IsAvailable()) return Items(i);
  return nullptr;
}

bool TInstallerPageList::CanGoBackFrom(const TInstallerCustomPage* page) const {
  return page && page->CanGoBack() && PrevAvailable(page);
}

bool TInstallerPageList::CanGoNextFrom(const TInstallerCustomPage* page) const {
  return page && page->CanGoNext() && NextAvailable(page);
}
