// TList, a list of untyped pointers, and TStringList, a list of strings each
// with an attached object pointer, optionally kept sorted. Indices out of
// range are refused (false or null, last error set), never undefined.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "korvane3d/host/Object.h"

namespace kv {

class TList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  void* Items(int index) const;  // null outside the list
  bool SetItems(int index, void* item);
  int Add(void* item);
  bool Insert(int index, void* item);
  bool Delete(int index);
  int Remove(void* item);  // the index it had, or -1
  int IndexOf(const void* item) const;
  void Clear() { items_.clear(); }
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }

 private:
  std::vector<void*> items_;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // The string at `index`; an empty string outside the list.
  const std::string& Strings(int index) const;
  TObject* Objects(int index) const;  // null outside the list
  bool SetObjects(int index, TObject* object);

  // Adds in order (sorted lists) or at the end. Returns the index, or -1
  // when a duplicate is refused (dupError) or ignored (dupIgnore returns the
  // existing index instead).
  int Add(std::string_view text) { return AddObject(text, nullptr); }
  int AddObject(std::string_view text, TObject* object);
  // Refused on a sorted list, which decides positions itself.
  bool Insert(int index, std::string_view text, TObject* object = nullptr);
  bool Delete(int index);
  void Clear() { items_.clear(); }

  // The index of `text`, or -1. Binary search when sorted.
  int IndexOf(std::string_view text) const;
  // Sorted: true when found with its index; otherwise false with the index
  // where it would go. Unsorted: a linear search.
  bool Find(std::string_view text, int& index) const;

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool caseSensitive);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
  void Sort();

 private:
  struct Item {
    std::string text;
    TObject* object;
  };
  int Compare(std::string_view a, std::string_view b) const;

  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
};

}  // namespace kv
