// A growable array of fixed-size items kept in one contiguous block. Items are copied in and
// out as raw bytes; the block always holds exactly Count() items (no spare capacity), so a
// pointer into it stays valid only until the next change of the array. Every failure raises
// one of the exception classes below and leaves the array as it was.
#pragma once

#include <cstddef>
#include <stdexcept>

namespace components {

// Base of every error raised by TrsDynArray.
class EDynArrayException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Item size outside 1 ... 65519.
class EDynArrayCreateError : public EDynArrayException {
 public:
  using EDynArrayException::EDynArrayException;
};

// An index outside the items (Insert: "Bounds", ItemPtr: "bounds").
class EDynArrayIndexBounds : public EDynArrayException {
 public:
  using EDynArrayException::EDynArrayException;
};

// No memory for one more item during Add.
class EDynArrayResources : public EDynArrayException {
 public:
  using EDynArrayException::EDynArrayException;
};

// Add on an array without an item size (one that has been moved from).
class EDynArrayAddError : public EDynArrayException {
 public:
  using EDynArrayException::EDynArrayException;
};

// Insert into an empty array.
class EDynArrayInsError : public EDynArrayException {
 public:
  using EDynArrayException::EDynArrayException;
};

// Delete from an empty array, or at a negative index.
class EDynArrayDelError : public EDynArrayException {
 public:
  using EDynArrayException::EDynArrayException;
};

class TrsDynArray {
 public:
  // An empty array of items of item_size bytes; requires 0 < item_size < 65520, else raises
  // EDynArrayCreateError.
  explicit TrsDynArray(std::ptrdiff_t item_size);
  ~TrsDynArray();

  TrsDynArray(const TrsDynArray&) = delete;
  TrsDynArray& operator=(const TrsDynArray&) = delete;
  // Moving hands the block over; the moved-from array is empty with item size 0, so a later
  // Add on it raises EDynArrayAddError.
  TrsDynArray(TrsDynArray&& other) noexcept;
  TrsDynArray& operator=(TrsDynArray&& other) noexcept;

  // Frees the block; the array becomes empty. An empty array is left untouched.
  void Clear();

  // Copies ItemSize() bytes from item into a new last item. Returns the (possibly moved)
  // block. Raises EDynArrayAddError without an item size, EDynArrayResources when no memory
  // is had.
  void* Add(const void* item);

  // Copies ItemSize() bytes from item into a new item at index; the items from index on move
  // up by one. Returns the block. Raises EDynArrayInsError on an empty array (the first item
  // is always added with Add), EDynArrayIndexBounds ("...Bounds.") when index is negative or
  // not below Count(). Memory exhaustion raises std::bad_alloc.
  void* Insert(std::ptrdiff_t index, const void* item);

  // Removes the item at index; the later items move down by one. An index at or beyond the
  // last item removes the last item. Returns the block (nullptr once empty). Raises
  // EDynArrayDelError on an empty array or for a negative index.
  void* Delete(std::ptrdiff_t index);

  // The address of item index inside the block, valid until the next change. Raises
  // EDynArrayIndexBounds ("...bounds.") when index is negative or not below Count().
  void* ItemPtr(std::ptrdiff_t index) const;

  // The block: Count() x ItemSize() bytes, items back to back; nullptr while empty.
  void* Data() const { return data_; }
  std::size_t ItemSize() const { return item_size_; }
  std::size_t Count() const { return count_; }
  // Bytes in the block, always Count() x ItemSize().
  std::size_t Size() const { return size_; }

 private:
  unsigned char* data_ = nullptr;
  std::size_t item_size_ = 0;
  std::size_t count_ = 0;
  std::size_t size_ = 0;
};

}  // namespace components
