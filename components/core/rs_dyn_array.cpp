#include "components/core/rs_dyn_array.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace components {

namespace {

constexpr std::ptrdiff_t kMaxItemSize = 65519;

}  // namespace

TrsDynArray::TrsDynArray(std::ptrdiff_t item_size) {
  if (item_size < 1 || item_size > kMaxItemSize) {
    throw EDynArrayCreateError("Dynamic Array: Invalid Item Size");
  }
  item_size_ = static_cast<std::size_t>(item_size);
}

TrsDynArray::~TrsDynArray() { Clear(); }

TrsDynArray::TrsDynArray(TrsDynArray&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      item_size_(std::exchange(other.item_size_, 0)),
      count_(std::exchange(other.count_, 0)),
      size_(std::exchange(other.size_, 0)) {}

TrsDynArray& TrsDynArray::operator=(TrsDynArray&& other) noexcept {
  if (this != &other) {
    Clear();
    data_ = std::exchange(other.data_, nullptr);
    item_size_ = std::exchange(other.item_size_, 0);
    count_ = std::exchange(other.count_, 0);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void TrsDynArray::Clear() {
  if (count_ < 1) return;
  std::free(data_);
  data_ = nullptr;
  count_ = 0;
  size_ = 0;
}

void* TrsDynArray::Add(const void* item) {
  if (item_size_ < 1) throw EDynArrayAddError("Dynamic Array: Unable to add element.");
  if (size_ > std::numeric_limits<std::size_t>::max() - item_size_) {
    throw EDynArrayResources("Dynamic Array: Out of resources during Add.");
  }
  void* block =
      data_ == nullptr ? std::malloc(item_size_) : std::realloc(data_, size_ + item_size_);
  if (block == nullptr) throw EDynArrayResources("Dynamic Array: Out of resources during Add.");
  data_ = static_cast<unsigned char*>(block);
  std::memcpy(data_ + size_, item, item_size_);
  ++count_;
  size_ += item_size_;
  return data_;
}

void* TrsDynArray::Insert(std::ptrdiff_t index, const void* item) {
  if (count_ < 1) throw EDynArrayInsError("Dynamic Array: Unable to insert element.");
  if (index < 0 || static_cast<std::size_t>(index) >= count_) {
    throw EDynArrayIndexBounds("Dynamic Array: Index out of Bounds.");
  }
  if (size_ > std::numeric_limits<std::size_t>::max() - item_size_) throw std::bad_alloc();
  void* block = std::realloc(data_, size_ + item_size_);
  if (block == nullptr) throw std::bad_alloc();
  data_ = static_cast<unsigned char*>(block);
  const std::size_t at = static_cast<std::size_t>(index) * item_size_;
  std::memmove(data_ + at + item_size_, data_ + at, size_ - at);
  std::memcpy(data_ + at, item, item_size_);
  ++count_;
  size_ += item_size_;
  return data_;
}

void* TrsDynArray::Delete(std::ptrdiff_t index) {
  if (count_ < 1 || index < 0) throw EDynArrayDelError("Dynamic Array: Unable to delete element.");
  const std::size_t new_size = size_ - item_size_;
  if (static_cast<std::size_t>(index) < count_ - 1) {
    const std::size_t at = static_cast<std::size_t>(index) * item_size_;
    std::memmove(data_ + at, data_ + at + item_size_, new_size - at);
  }
  if (new_size == 0) {
    std::free(data_);
    data_ = nullptr;
  } else {
    // Shrinking in place cannot fail on glibc; if it ever does, the larger block stays valid.
    if (void* block = std::realloc(data_, new_size)) data_ = static_cast<unsigned char*>(block);
  }
  --count_;
  size_ = new_size;
  return data_;
}

void* TrsDynArray::ItemPtr(std::ptrdiff_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= count_) {
    throw EDynArrayIndexBounds("Dynamic Array: Index out of bounds.");
  }
  return data_ + static_cast<std::size_t>(index) * item_size_;
}

}  // namespace components
