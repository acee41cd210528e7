#include "app/test_list.h"

#include <stdexcept>

namespace app {

void TTestList::Check(int32_t index, int32_t limit) const {
  if (index < 0 || index >= limit) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  }
}

const std::string& TTestList::operator[](int32_t index) const {
  Check(index, Count());
  return entries_[static_cast<size_t>(index)];
}

void TTestList::Set(int32_t index, std::string text) {
  Check(index, Count());
  entries_[static_cast<size_t>(index)] = std::move(text);
}

int32_t TTestList::Add(std::string text) {
  entries_.push_back(std::move(text));
  return Count() - 1;
}

void TTestList::Insert(int32_t index, std::string text) {
  Check(index, Count() + 1);
  entries_.insert(entries_.begin() + index, std::move(text));
}

void TTestList::ResetToPlaceholder() {
  entries_.clear();
  entries_.emplace_back("0");
}

}  // namespace app
