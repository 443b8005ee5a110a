#include "korvane3d/host/Lists.h"

#include <algorithm>

#include "korvane3d/host/Error.h"

namespace kv {

namespace {
bool BadIndex(int index) { return Fail("list index " + std::to_string(index) + " out of bounds"); }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

// ---- TList ---------------------------------------------------------------------

void* TList::Items(int index) const {
  if (index < 0 || index >= Count()) {
    BadIndex(index);
    return nullptr;
  }
  return items_[static_cast<std::size_t>(index)];
}

bool TList::SetItems(int index, void* item) {
  if (index < 0 || index >= Count()) return BadIndex(index);
  items_[static_cast<std::size_t>(index)] = item;
  return true;
}

int TList::Add(void* item) {
  items_.push_back(item);
  return Count() - 1;
}

bool TList::Insert(int index, void* item) {
  if (index < 0 || index > Count()) return BadIndex(index);
  items_.insert(items_.begin() + index, item);
  return true;
}

bool TList::Delete(int index) {
  if (index < 0 || index >= Count()) return BadIndex(index);
  items_.erase(items_.begin() + index);
  return true;
}

int TList::Remove(void* item) {
  const int index = IndexOf(item);
  if (index >= 0) items_.erase(items_.begin() + index);
  return index;
}

int TList::IndexOf(const void* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

// ---- TStringList ---------------------------------------------------------------

int TStringList::Compare(std::string_view a, std::string_view b) const {
  if (caseSensitive_) return a.compare(b);
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(Lower(a[i]));
    const unsigned char y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

const std::string& TStringList::Strings(int index) const {
  static const std::string empty;
  if (index < 0 || index >= Count()) {
    BadIndex(index);
    return empty;
  }
  return items_[static_cast<std::size_t>(index)].text;
}

TObject* TStringList::Objects(int index) const {
  if (index < 0 || index >= Count()) {
    BadIndex(index);
    return nullptr;
  }
  return items_[static_cast<std::size_t>(index)].object;
}

bool TStringList::SetObjects(int index, TObject* object) {
  if (index < 0 || index >= Count()) return BadIndex(index);
  items_[static_cast<std::size_t>(index)].object = object;
  return true;
}

int TStringList::AddObject(std::string_view text, TObject* object) {
  int index = Count();
  if (sorted_) {
    if (Find(text, index)) {
      if (duplicates_ == dupIgnore) return index;
      if (duplicates_ == dupError) {
        Fail("string list does not allow duplicates: \"" + std::string(text) + "\"");
        return -1;
      }
    }
  }
  items_.insert(items_.begin() + index, Item{std::string(text), object});
  return index;
}

bool TStringList::Insert(int index, std::string_view text, TObject* object) {
  if (sorted_) return Fail("cannot insert into a sorted string list");
  if (index < 0 || index > Count()) return BadIndex(index);
  items_.insert(items_.begin() + index, Item{std::string(text), object});
  return true;
}

bool TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) return BadIndex(index);
  items_.erase(items_.begin() + index);
  return true;
}

int TStringList::IndexOf(std::string_view text) const {
  int index = -1;
  return Find(text, index) ? index : -1;
}

bool TStringList::Find(std::string_view text, int& index) const {
  if (!sorted_) {
    for (int i = 0; i < Count(); ++i) {
      if (Compare(items_[static_cast<std::size_t>(i)].text, text) == 0) {
        index = i;
        return true;
      }
    }
    index = Count();
    return false;
  }
  // The first of equal entries, so duplicates are found consistently.
  auto it = std::lower_bound(items_.begin(), items_.end(), text,
                             [this](const Item& item, std::string_view t) { return Compare(item.text, t) < 0; });
  index = static_cast<int>(it - items_.begin());
  return it != items_.end() && Compare(it->text, text) == 0;
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) {
    sorted_ = true;
    Sort();
  }
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == caseSensitive_) return;
  caseSensitive_ = caseSensitive;
  if (sorted_) Sort();
}

void TStringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const Item& a, const Item& b) { return Compare(a.text, b.text) < 0; });
}

}  // namespace kv
