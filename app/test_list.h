// One per-question list of the running test: entries of text indexed by item number, entry 0
// the placeholder "0". An index outside the list raises std::out_of_range ("List index out of
// bounds (<index>)"), which a guarded handler shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace app {

class TTestList {
 public:
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  const std::vector<std::string>& Entries() const { return entries_; }

  // The entry at `index` (0 ... Count() - 1).
  const std::string& operator[](int32_t index) const;
  // Overwrites the entry at `index` (0 ... Count() - 1).
  void Set(int32_t index, std::string text);
  // Appends an entry; returns its index.
  int32_t Add(std::string text);
  // Inserts an entry before `index` (0 ... Count(); Count() appends).
  void Insert(int32_t index, std::string text);
  void Clear() { entries_.clear(); }
  // Empties the list and gives it the placeholder "0" at index 0.
  void ResetToPlaceholder();

 private:
  // Raises for an index outside 0 ... limit - 1.
  void Check(int32_t index, int32_t limit) const;

  std::vector<std::string> entries_;
};

}  // namespace app
