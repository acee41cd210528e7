#include "engine/index_build.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/expr.h"
#include "engine/expr_util.h"
#include "engine/hooks.h"
#include "engine/index_common.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "platform/core/dos_error.h"
#include "platform/core/file.h"
#include "platform/core/paths.h"

namespace engine {

bool Indexing = false;
uint32_t IndexSortMemory = kDefaultIndexSortMemory;

namespace {

constexpr uint32_t kReadBufferMin = 1024;
constexpr uint32_t kReadBufferMax = 65512;
constexpr uint32_t kMinSortRecords = 256;
constexpr uint32_t kWriteBufferPages = 128;
constexpr uint8_t kLastIndexArea = 34;
constexpr int kIndexSlots = 16;
constexpr int kExclusiveReadWrite = platform::kModeReadWrite | platform::kShareExclusive;

// A failure inside a build: unwinds to MakeIndex, which cleans up and reports it.
struct BuildFailure {
  uint16_t code;
  std::string msg;
};

[[noreturn]] void Fail(uint16_t code, std::string msg) { throw BuildFailure{code, std::move(msg)}; }

// The engine's pending error (set by a routine the build called) as a failure.
[[noreturn]] void FailWithPending(uint16_t fallback) {
  Fail(ErrorCode != 0 ? ErrorCode : fallback, ErrorMsg);
}

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Removes every occurrence of `word` (upper case, with its leading blank) from s, matching
// regardless of case; true when one was removed.
bool RemoveWord(const std::string& word, std::string& s) {
  bool removed = false;
  size_t pos = UpperCopy(s).find(word);
  while (pos != std::string::npos) {
    const size_t end = pos + word.size();
    if (end == s.size() || !IsWordChar(s[end])) {
      s.erase(pos, word.size());
      removed = true;
    } else {
      ++pos;
    }
    pos = UpperCopy(s).find(word, pos);
  }
  return removed;
}

bool SamePath(const std::string& a, const std::string& b) {
  return FullPath(platform::ResolveCase(a)) == FullPath(platform::ResolveCase(b));
}

// The permission bits a newly created file gets.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// ---- In-memory sort ----------------------------------------------------------------------

// Orders sort records (key bytes, then the record number) by key, then by record number.
template <bool kNumeric>
struct RecordLess {
  uint16_t key_len;
  bool operator()(const uint8_t* a, const uint8_t* b) const {
    int c;
    if constexpr (kNumeric) {
      c = CompareNumbers(GetKeyNumber(a), GetKeyNumber(b));
    } else {
      c = std::memcmp(a, b, key_len);
    }
    if (c != 0) return c < 0;
    return GetU32LE(a + key_len) < GetU32LE(b + key_len);
  }
};

// Quicksort on record pointers: median of the first, middle and last element as the pivot,
// moved to the front; three elements or fewer sorted directly; the smaller part recursively,
// the larger one in the loop, so the depth stays logarithmic.
template <class Less>
void QuickSort(const uint8_t** a, size_t n, const Less& less) {
  using std::swap;
  while (n > 3) {
    const size_t mid = n / 2;
    const size_t last = n - 1;
    if (less(a[mid], a[0])) swap(a[mid], a[0]);
    if (less(a[last], a[mid])) swap(a[last], a[mid]);
    if (less(a[mid], a[0])) swap(a[mid], a[0]);
    // a[0] <= a[mid] <= a[last]: the median goes to the front; the smallest and the largest
    // stop both scans.
    swap(a[0], a[mid]);
    const uint8_t* pivot = a[0];
    size_t i = 1;
    size_t j = last;
    for (;;) {
      while (less(a[i], pivot)) ++i;
      while (less(pivot, a[j])) --j;
      if (i >= j) break;
      swap(a[i], a[j]);
      ++i;
      --j;
    }
    swap(a[0], a[j]);
    const size_t left = j;
    const size_t right = n - j - 1;
    if (left < right) {
      QuickSort(a, left, less);
      a += j + 1;
      n = right;
    } else {
      QuickSort(a + j + 1, right, less);
      n = left;
    }
  }
  if (n == 2) {
    if (less(a[1], a[0])) swap(a[0], a[1]);
  } else if (n == 3) {
    if (less(a[1], a[0])) swap(a[0], a[1]);
    if (less(a[2], a[1])) swap(a[1], a[2]);
    if (less(a[1], a[0])) swap(a[0], a[1]);
  }
}

// ---- Page writer -----------------------------------------------------------------------

// Fills the B-tree bottom-up from entries in key order. Level 0 holds the leaves. A full leaf
// is written when the next entry comes, and a copy of its last entry's key goes up with the
// leaf's page as child and record number 0 (inner entries name no record). A full inner page gives
// up its last entry instead: that entry's child becomes the page's right-most child and the entry
// goes up with the page as child. Pages are numbered from 1 in the order they are written and go
// out through a buffer of whole pages.
class PageWriter {
 public:
  PageWriter(platform::File& file, const TNdxHeader& h, const std::string& name)
      : file_(file), h_(h), name_(name), buffer_(kWriteBufferPages * kNdxPageSize) {
    levels_.emplace_back();
  }

  void AddLeaf(const uint8_t* key, uint32_t rec_no) { Add(0, key, rec_no, 0); }

  // Writes the open page of every level that received an entry, each pointing at the one
  // below as its right-most child; returns the last page written, the root.
  uint32_t Finish() {
    uint32_t below = 0;
    for (size_t level = 0; level < levels_.size(); ++level) {
      Level& l = levels_[level];
      if (level > 0) SetNodeRightChild(l.page.data(), h_, below);
      below = WritePage(l);
    }
    Flush();
    return below;
  }

 private:
  struct Level {
    std::array<uint8_t, kNdxPageSize> page{};
    uint16_t count = 0;
  };

  void Add(size_t level, const uint8_t* key, uint32_t rec_no, uint32_t child) {
    if (levels_.size() <= level) levels_.emplace_back();
    Level* l = &levels_[level];
    if (l->count == h_.KeysPerPage) {
      uint8_t* last = NodeEntry(l->page.data(), h_, l->count - 1u);
      std::array<uint8_t, 4 + 4 + kNdxMaxKeyLen> up{};
      std::memcpy(up.data(), last, 8u + h_.KeyLen);
      if (level > 0) {
        // The last entry leaves the inner page; its child becomes the right-most pointer.
        std::memset(last, 0, h_.EntrySize);
        --l->count;
        SetNodeKeyCount(l->page.data(), l->count);
        SetNodeRightChild(l->page.data(), h_, GetU32LE(up.data()));
      }
      const uint32_t page_no = WritePage(*l);
      Add(level + 1, up.data() + 8, 0, page_no);
      l = &levels_[level];  // the vector may have grown
    }
    uint8_t* e = NodeEntry(l->page.data(), h_, l->count);
    PutU32LE(e, child);
    PutU32LE(e + 4, rec_no);
    std::memcpy(e + 8, key, h_.KeyLen);
    ++l->count;
    SetNodeKeyCount(l->page.data(), l->count);
  }

  uint32_t WritePage(Level& l) {
    SetNodeKeyCount(l.page.data(), l.count);
    std::memcpy(buffer_.data() + buffered_ * kNdxPageSize, l.page.data(), kNdxPageSize);
    ++buffered_;
    const uint32_t page_no = next_page_++;
    l.page.fill(0);
    l.count = 0;
    if (buffered_ == kWriteBufferPages) Flush();
    return page_no;
  }

  void Flush() {
    if (buffered_ == 0) return;
    const uint64_t offset = static_cast<uint64_t>(first_buffered_) * kNdxPageSize;
    const size_t n = static_cast<size_t>(buffered_) * kNdxPageSize;
    const int rc = file_.WriteAt(offset, buffer_.data(), n);
    if (rc != 0) {
      Fail(static_cast<uint16_t>(rc), "Error writing index file: " + name_ + " [MakeIndex]");
    }
    first_buffered_ += buffered_;
    buffered_ = 0;
  }

  platform::File& file_;
  const TNdxHeader& h_;
  const std::string& name_;
  std::vector<Level> levels_;
  std::vector<uint8_t> buffer_;
  uint32_t buffered_ = 0;
  uint32_t first_buffered_ = 1;
  uint32_t next_page_ = 1;
};

// ---- The build -------------------------------------------------------------------------

class Build {
 public:
  Build(std::string name, TKeyMaker key_maker, std::string expression, bool unique, bool descending,
        bool soundex)
      : name_(std::move(name)),
        key_maker_(key_maker),
        expression_(std::move(expression)),
        unique_(unique),
        descending_(descending),
        soundex_(soundex) {}
  Build(const Build&) = delete;
  Build& operator=(const Build&) = delete;
  ~Build() { Cleanup(); }

  void Run() {
    if (key_maker_ == nullptr && AllTrim(expression_).empty()) {
      Fail(254, "Neither Expression nor KeyMaker defined");
    }
    wa_ = CurrentWorkArea();
    if (wa_ == nullptr) Fail(215, "database not open attempting to index to" + name_ + ".");
    area_ = CurrentArea;
    if (key_maker_ == nullptr) {
      if (!CheckParserLinked("MakeIndex")) FailWithPending(221);
      if (expression_.size() + 1 > kNdxExprSize) Fail(300, "Expression length exceeds 100 bytes");
      ErrorCode = 0;
      block_ = AssignExpr(expression_);
      if (block_ == nullptr) FailWithPending(254);
      saved_key_block_ = CurrentKeyBlock;
      CurrentKeyBlock = block_;
      stored_expression_ = NormalizeKeyExpression(expression_);
    } else {
      stored_expression_ = kKeyMakerText;
    }
    RefuseOpenIndex();
    ChooseKey();

    TDbfFileRec& t = wa_->Dbf;
    saved_rec_no_ = t.RecNo;
    saved_eof_ = t.AtEof;
    saved_bof_ = t.AtBof;
    saved_rec_buf_ = t.RecBuf;
    if (wa_->UserBuf != nullptr)
      saved_user_buf_.assign(wa_->UserBuf, wa_->UserBuf + wa_->UserBufSize);
    pointer_saved_ = true;
    Indexing = true;

    if (!IsExclusive()) {
      if (ReopenDbf(true) != 0) Fail(225, "");
      reopened_ = true;
      // Nobody can append now: the file's size gives the final record count.
      uint64_t size = 0;
      if (t.RecLen != 0 && t.DataFile.Size(&size) == 0 && size > t.HeaderLen) {
        const uint64_t records = (size - t.HeaderLen) / t.RecLen;
        t.RecCount = static_cast<int32_t>(std::min<uint64_t>(records, kMaxRecCount));
      }
    }
    rec_count_ = static_cast<uint32_t>(std::max<int32_t>(t.RecCount, 0));

    CreateTarget();
    PlanMemory();
    ReadAndSort();
    WriteTree();
    Commit();
  }

  // Undoes what the build changed in the engine: the compiled expression, the temporary files,
  // the exclusive use, the record pointer and the indexing flag. Returns the first failure
  // met on the way (0 when none). Runs once.
  BuildFailure Cleanup() {
    BuildFailure failure{0, {}};
    if (cleaned_) return failure;
    cleaned_ = true;
    if (runs_.IsOpen()) runs_.Close();
    if (!run_path_.empty()) ::unlink(run_path_.c_str());
    if (out_.IsOpen()) out_.Close();
    if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
    if (block_ != nullptr) {
      FreeExpr(block_);
      CurrentKeyBlock = saved_key_block_;
    }
    const uint8_t area = CurrentArea;
    if (wa_ != nullptr && WorkAreas[area_].get() == wa_) {
      CurrentArea = area_;
      if (reopened_) {
        const int rc = ReopenDbf(false);
        if (rc != 0) failure = {static_cast<uint16_t>(rc), "Unable to share " + wa_->Dbf.FileName};
      }
      if (pointer_saved_) RestorePointer(failure);
      CurrentArea = area;
    }
    Indexing = false;
    return failure;
  }

 private:
  // A file open as an index in any work area may not be rebuilt under it.
  void RefuseOpenIndex() {
    if (IndexDriverHooks.IndexFileName == nullptr) return;
    const uint8_t current = CurrentArea;
    std::string clash;
    for (uint8_t a = 1; a <= kLastIndexArea && clash.empty(); ++a) {
      if (!WorkAreas[a]) continue;
      CurrentArea = a;
      for (int slot = 1; slot <= kIndexSlots; ++slot) {
        const std::string open = IndexDriverHooks.IndexFileName(slot);
        if (!open.empty() && SamePath(open, name_)) {
          clash = open;
          break;
        }
      }
    }
    CurrentArea = current;
    if (!clash.empty()) Fail(214, name_);
  }

  // Key type and length from the expression's result (or the KeyMaker's text) for the
  // current record.
  void ChooseKey() {
    char type = 'C';
    size_t len = 0;
    if (key_maker_ != nullptr) {
      len = soundex_ ? SoundexLength : key_maker_().size();
    } else {
      ErrorCode = 0;
      const void* result = EvaluateExpr(block_);
      if (ErrorCode != 0) FailWithPending(254);
      switch (block_->ResultType) {
        case 'C':
          len = ResultTextLength(result);
          break;
        case 'N':
        case 'F':
        case 'D':
          type = block_->ResultType;
          len = 8;
          break;
        default:
          Fail(254, "Wrong parser return type");
      }
    }
    if (len == 0 || len > kNdxMaxKeyLen) Fail(266, "Incorrect key length: Must be 1 to 100.");
    header_ = MakeNdxHeader(type, static_cast<uint16_t>(len), unique_);
    key_len_ = header_.KeyLen;
    record_size_ = key_len_ + 4u;
  }

  size_t ResultTextLength(const void* result) const {
    const char* text = static_cast<const char*>(result);
    const size_t room = block_->Pool.empty() ? 1 : block_->Pool.size();
    return strnlen(text, room);
  }

  // The temporary file in the index's folder that becomes the index when complete.
  void CreateTarget() {
    target_ = platform::ResolveCase(name_);
    std::string dir, base, ext;
    FileSplit(target_, dir, base, ext);
    mode_t mode = NewFileMode();
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) mode = st.st_mode & 07777;
    std::string temp;
    if (platform::CreateUniqueFile(dir, "NDX", &temp) != 0) Fail(221, "File not open" + name_);
    temp_path_ = temp;
    if (out_.Open(temp_path_, kExclusiveReadWrite) != 0) Fail(221, "File not open" + name_);
    ::fchmod(out_.fd(), mode);
  }

  // Sizes the read buffer and the sort area within FreeHeap and IndexSortMemory, and checks
  // the disk space the index and the runs need.
  void PlanMemory() {
    const uint32_t kpp = header_.KeysPerPage;
    const uint64_t n = rec_count_;
    uint32_t levels = 2;
    for (uint64_t m = n; m > 0; m /= kpp) ++levels;
    int64_t free = FreeHeap();
    const int64_t stack = static_cast<int64_t>(levels) * kNdxPageSize;
    if (free < stack) Fail(217, " for allocating reindex stack [MakeIndex]");
    free -= stack;

    uint64_t needed = n * record_size_;
    uint64_t power = 1;
    for (uint32_t i = 1; i <= levels; ++i) {
      if (power <= n) power *= kpp;
      needed += (n / power + 1) * kNdxPageSize;
    }
    const int32_t free_kb = DiskFreeKBOf(target_);
    if (free_kb >= 0 && needed / 1024 > static_cast<uint64_t>(free_kb)) {
      Fail(227, "Available disk space: " + std::to_string(free_kb) + " KBytes;" +
                    "needed: " + std::to_string(needed / 1024) + " KBytes [MakeIndex]");
    }

    const uint32_t rec_len = std::max<uint32_t>(wa_->Dbf.RecLen, 1);
    const uint64_t entry_bytes = record_size_ + sizeof(const uint8_t*);
    uint64_t read_buffer = std::max<uint64_t>(kReadBufferMin, rec_len);
    const int64_t minimum = static_cast<int64_t>(read_buffer + kMinSortRecords * entry_bytes);
    if (free < minimum) {
      Fail(217, "Additional " + std::to_string(minimum - free) + " bytes of memory are needed." +
                    " [MakeIndex]");
    }
    const double sort_guess =
        std::sqrt(static_cast<double>(n) * (record_size_ + 4.0) * (record_size_ + 14.0));
    const double spare =
        static_cast<double>(free) - static_cast<double>(read_buffer) - sort_guess - kNdxPageSize;
    if (spare > 0) read_buffer += static_cast<uint64_t>(spare / 2);
    read_buffer = std::max<uint64_t>(std::min<uint64_t>(read_buffer, kReadBufferMax), rec_len);
    block_records_ = static_cast<uint32_t>(read_buffer / rec_len);  // at least one record
    free -= static_cast<int64_t>(static_cast<uint64_t>(block_records_) * rec_len);

    uint64_t capacity = static_cast<uint64_t>(std::max<int64_t>(free, 0)) / entry_bytes;
    if (capacity < kMinSortRecords) Fail(217, " to allocate at least 256 s_ptrs [MakeIndex]");
    capacity = std::min<uint64_t>(
        capacity, std::max<uint64_t>(IndexSortMemory / entry_bytes, kMinSortRecords));
    capacity_ = static_cast<uint32_t>(std::min<uint64_t>(capacity, std::max<uint64_t>(n, 1)));

    try {
      read_buf_.resize(static_cast<size_t>(block_records_) * rec_len);
    } catch (const std::bad_alloc&) {
      Fail(217, " to allocate RW buffer [MakeIndex]");
    }
    try {
      sort_area_.resize(static_cast<size_t>(capacity_) * record_size_);
      pointers_.resize(capacity_);
    } catch (const std::bad_alloc&) {
      Fail(217, " to allocate at least 256 s_ptrs [MakeIndex]");
    }
  }

  // Reads the table front to back, keys every record and sorts the keys, in runs when they
  // do not all fit the sort area.
  void ReadAndSort() {
    TDbfFileRec& t = wa_->Dbf;
    const uint32_t rec_len = t.RecLen;
    uint32_t n = 1;
    while (n <= rec_count_) {
      const uint32_t count = std::min<uint32_t>(block_records_, rec_count_ - n + 1);
      const uint64_t offset = t.HeaderLen + static_cast<uint64_t>(n - 1) * rec_len;
      const size_t bytes = static_cast<size_t>(count) * rec_len;
      size_t got = 0;
      int rc = t.DataFile.ReadAt(offset, read_buf_.data(), bytes, &got);
      if (rc == 0 && got != bytes) rc = platform::kDosReadError;
      if (rc != 0) Fail(static_cast<uint16_t>(rc), "Error reading " + t.FileName + " [MakeIndex]");
      for (uint32_t i = 0; i < count; ++i, ++n) {
        std::memcpy(t.RecBuf.data(), read_buf_.data() + static_cast<size_t>(i) * rec_len, rec_len);
        t.RecNo = static_cast<int32_t>(n);
        t.AtEof = false;
        t.AtBof = false;
        if (t.AfterAccessProc) t.AfterAccessProc(t.RecBuf.data() + 1, t.RecLen - 1);
        if (filled_ == capacity_) WriteRun();
        uint8_t* record = sort_area_.data() + static_cast<size_t>(filled_) * record_size_;
        MakeKey(record);
        PutU32LE(record + key_len_, n);
        ++filled_;
      }
    }
  }

  // The current record's key, key length bytes: a shorter text is padded with blanks, a
  // longer one cut.
  void MakeKey(uint8_t* key) {
    if (key_maker_ != nullptr) {
      DbfToNative();
      std::string text = key_maker_();
      if (soundex_) text = Soundex(text, SoundexLength);
      CopyText(key, text.data(), text.size());
      // Complemented after the padding, so a shorter text sorts after the longer texts it
      // begins, as the descending order wants.
      if (descending_) {
        for (uint16_t i = 0; i < key_len_; ++i) key[i] = static_cast<uint8_t>(key[i] ^ 0xFF);
      }
      return;
    }
    ErrorCode = 0;
    const void* result = EvaluateExpr(block_);
    if (ErrorCode != 0) FailWithPending(254);
    if (header_.KeyType == 'C') {
      CopyText(key, static_cast<const char*>(result), ResultTextLength(result));
    } else {
      PutKeyNumber(key, *static_cast<const double*>(result));
    }
  }

  void CopyText(uint8_t* key, const char* text, size_t len) const {
    const size_t n = std::min<size_t>(len, key_len_);
    std::memcpy(key, text, n);
    std::memset(key + n, ' ', key_len_ - n);
  }

  void SortArea() {
    for (uint32_t i = 0; i < filled_; ++i) {
      pointers_[i] = sort_area_.data() + static_cast<size_t>(i) * record_size_;
    }
    if (IsNumericKeyType(header_.KeyType)) {
      QuickSort(pointers_.data(), filled_, RecordLess<true>{key_len_});
    } else {
      QuickSort(pointers_.data(), filled_, RecordLess<false>{key_len_});
    }
  }

  // Sorts the sort area and appends it to the run file as one run.
  void WriteRun() {
    if (filled_ == 0) return;
    if (!runs_.IsOpen()) {
      ErrorCode = 0;
      run_path_ = UniqueFilename();
      if (run_path_.empty()) FailWithPending(platform::kDosWriteError);
      const int rc = runs_.Open(run_path_, kExclusiveReadWrite);
      if (rc != 0) Fail(static_cast<uint16_t>(rc), "Error opening " + run_path_ + " [MakeIndex]");
    }
    SortArea();
    std::vector<uint8_t> chunk;
    chunk.reserve(std::min<size_t>(static_cast<size_t>(filled_) * record_size_, 1u << 16));
    const uint64_t start = run_end_;
    for (uint32_t i = 0; i < filled_; ++i) {
      chunk.insert(chunk.end(), pointers_[i], pointers_[i] + record_size_);
      if (chunk.size() + record_size_ > chunk.capacity() || i + 1 == filled_) {
        const int rc = runs_.WriteAt(run_end_, chunk.data(), chunk.size());
        if (rc != 0) Fail(static_cast<uint16_t>(rc), "Error writing " + run_path_ + " [MakeIndex]");
        run_end_ += chunk.size();
        chunk.clear();
      }
    }
    run_list_.push_back({start, filled_});
    filled_ = 0;
  }

  void WriteTree() {
    PageWriter pages(out_, header_, name_);
    std::array<uint8_t, kNdxMaxKeyLen> previous{};
    bool have_previous = false;
    const TKeyCompare compare = KeyCompareFor(header_.KeyType);
    auto emit = [&](const uint8_t* record) {
      if (unique_) {
        if (have_previous && compare(previous.data(), record, key_len_) == 0) return;
        std::memcpy(previous.data(), record, key_len_);
        have_previous = true;
      }
      pages.AddLeaf(record, GetU32LE(record + key_len_));
    };
    if (run_list_.empty()) {
      SortArea();
      for (uint32_t i = 0; i < filled_; ++i) emit(pointers_[i]);
    } else {
      WriteRun();
      if (IsNumericKeyType(header_.KeyType)) {
        Merge(RecordLess<true>{key_len_}, emit);
      } else {
        Merge(RecordLess<false>{key_len_}, emit);
      }
    }
    header_.Root = pages.Finish();
    header_.NextFree = header_.Root + 1;
  }

  // Merges the runs: each has a window of entries in memory, refilled from the run file; the
  // run heads are kept ordered by their current entry (the smallest last), and a head that
  // moved on is put back at its place by binary search.
  template <class Less, class Emit>
  void Merge(const Less& less, Emit& emit) {
    struct Window {
      uint64_t pos;
      uint64_t left;
      std::vector<uint8_t> data;
      uint32_t count = 0;
      uint32_t at = 0;
    };
    const uint32_t per_run =
        std::max<uint32_t>(1, capacity_ / static_cast<uint32_t>(run_list_.size()));
    sort_area_.clear();
    sort_area_.shrink_to_fit();
    std::vector<Window> windows;
    windows.reserve(run_list_.size());
    for (const auto& [pos, count] : run_list_) {
      windows.push_back(
          {pos, count, std::vector<uint8_t>(static_cast<size_t>(per_run) * record_size_)});
    }
    auto refill = [&](Window& w) {
      const uint32_t k = static_cast<uint32_t>(std::min<uint64_t>(w.left, per_run));
      const size_t bytes = static_cast<size_t>(k) * record_size_;
      size_t got = 0;
      int rc = runs_.ReadAt(w.pos, w.data.data(), bytes, &got);
      if (rc == 0 && got != bytes) rc = platform::kDosReadError;
      if (rc != 0) Fail(static_cast<uint16_t>(rc), "Error reading " + run_path_ + " [MakeIndex]");
      w.pos += bytes;
      w.left -= k;
      w.count = k;
      w.at = 0;
    };
    auto head = [&](uint32_t r) {
      const Window& w = windows[r];
      return w.data.data() + static_cast<size_t>(w.at) * record_size_;
    };
    // Descending by head: "a goes before b" when a's head is the greater.
    auto before = [&](uint32_t a, uint32_t b) { return less(head(b), head(a)); };
    std::vector<uint32_t> heads;
    for (uint32_t r = 0; r < windows.size(); ++r) {
      refill(windows[r]);
      if (windows[r].count > 0) heads.push_back(r);
    }
    std::sort(heads.begin(), heads.end(), before);
    while (!heads.empty()) {
      const uint32_t r = heads.back();
      heads.pop_back();
      emit(head(r));
      Window& w = windows[r];
      if (++w.at == w.count) {
        if (w.left == 0) continue;  // the run is used up
        refill(w);
      }
      heads.insert(std::lower_bound(heads.begin(), heads.end(), r, before), r);
    }
  }

  // Page 0 last, then the finished file replaces the old index.
  void Commit() {
    std::array<uint8_t, kNdxPageSize> page{};
    BuildNdxHeaderPage(header_, stored_expression_, static_cast<int32_t>(rec_count_),
                       wa_->Dbf.FileName, page.data());
    int rc = out_.WriteAt(0, page.data(), page.size());
    if (rc == 0) rc = out_.Flush();
    if (rc == 0) rc = out_.Close();
    if (rc != 0) {
      Fail(static_cast<uint16_t>(rc), "Error writing index file: " + name_ + " [MakeIndex]");
    }
    if (::rename(temp_path_.c_str(), target_.c_str()) != 0) {
      Fail(static_cast<uint16_t>(platform::LastDosCode()),
           "Error writing index file: " + name_ + " [MakeIndex]");
    }
    temp_path_.clear();
  }

  // Puts the record pointer back: GO to the record that was current, or the position off the
  // records (an empty table, past the end) as it was, with its buffers.
  void RestorePointer(BuildFailure& failure) {
    TDbfFileRec& t = wa_->Dbf;
    if (saved_rec_no_ >= 1 && saved_rec_no_ <= t.RecCount) {
      GO(saved_rec_no_);
      if (ErrorCode != 0 && failure.code == 0) failure = {ErrorCode, ErrorMsg};
      return;
    }
    t.RecNo = saved_rec_no_;
    t.AtEof = saved_eof_;
    t.AtBof = saved_bof_;
    if (saved_rec_buf_.size() == t.RecBuf.size()) t.RecBuf = saved_rec_buf_;
    if (wa_->UserBuf != nullptr && saved_user_buf_.size() == wa_->UserBufSize) {
      std::copy(saved_user_buf_.begin(), saved_user_buf_.end(), wa_->UserBuf);
    }
  }

  const std::string name_;
  const TKeyMaker key_maker_;
  const std::string expression_;
  const bool unique_;
  const bool descending_;
  const bool soundex_;

  TWorkAreaRec* wa_ = nullptr;
  uint8_t area_ = 0;
  TExprBlock* block_ = nullptr;
  TExprBlock* saved_key_block_ = nullptr;
  std::string stored_expression_;
  TNdxHeader header_;
  uint16_t key_len_ = 0;
  uint32_t record_size_ = 0;  // key bytes and the record number
  uint32_t rec_count_ = 0;

  bool reopened_ = false;
  bool pointer_saved_ = false;
  bool cleaned_ = false;
  int32_t saved_rec_no_ = 0;
  bool saved_eof_ = false;
  bool saved_bof_ = false;
  std::vector<uint8_t> saved_rec_buf_;
  std::vector<uint8_t> saved_user_buf_;

  std::string target_;     // the index as found on disk (or to be created)
  std::string temp_path_;  // the file being written; empty once it replaced the target
  platform::File out_;

  uint32_t block_records_ = 1;
  std::vector<uint8_t> read_buf_;
  uint32_t capacity_ = 0;  // sort records the sort area holds
  uint32_t filled_ = 0;
  std::vector<uint8_t> sort_area_;
  std::vector<const uint8_t*> pointers_;

  std::string run_path_;
  platform::File runs_;
  uint64_t run_end_ = 0;
  std::vector<std::pair<uint64_t, uint32_t>> run_list_;  // offset and entry count per run
};

}  // namespace

std::string StripIndexOptions(const std::string& name_with_options, TIndexOptions& options) {
  std::string s = name_with_options;
  options.Unique = RemoveWord(" UNIQUE", s);
  options.Soundex = RemoveWord(" SOUNDEX", s);
  options.Descending = RemoveWord(" DESCENDING", s);
  options.NoCache = RemoveWord(" NOCACHE", s);
  return AllTrim(s);
}

bool CheckParserLinked(const std::string& routine) {
  if (ParserHooks.Present) return true;
  SetError(221, "WENParser unit not linked in. [" + routine.substr(0, 14) + "]");
  return false;
}

void MakeIndex(const std::string& file_name, TKeyMaker key_maker, const std::string& expression,
               bool unique, bool descending, bool soundex) {
  ErrorCode = 0;
  if (file_name.empty()) {
    SetError(220, "index filename not specified [MakeIndex()]");
    return;
  }
  const std::string name = AddDefaultExt(file_name, "NDX");
  // Errors inside the build are collected and reported once, after the cleanup.
  struct AbortGuard {
    bool saved = AbortOnError;
    ~AbortGuard() { AbortOnError = saved; }
  } guard;
  AbortOnError = false;
  BuildFailure failure{0, {}};
  {
    Build build(name, key_maker, expression, unique, descending, soundex);
    try {
      build.Run();
    } catch (const BuildFailure& f) {
      failure = f;
    } catch (const std::bad_alloc&) {
      failure = {217, " [MakeIndex]"};
    } catch (...) {
      // A caller's KeyMaker raised: undo the build (table shared again, pointer and indexing
      // flag restored) before the exception goes on.
      build.Cleanup();
      throw;
    }
    BuildFailure late = build.Cleanup();
    if (failure.code == 0) failure = std::move(late);
  }
  AbortOnError = guard.saved;
  if (failure.code != 0) {
    SetError(failure.code, failure.msg + " [MakeIndex(<...>," + name + ")]");
  } else {
    ErrorCode = 0;
  }
}

void MakeExprIndex(const std::string& expression, const std::string& name_with_options) {
  TIndexOptions options;
  const std::string name = StripIndexOptions(name_with_options, options);
  MakeIndex(name, nullptr, expression, options.Unique || UniqueDefault, false, false);
}

void MakeKeyMakerIndex(TKeyMaker key_maker, const std::string& name_with_options) {
  TIndexOptions options;
  const std::string name = StripIndexOptions(name_with_options, options);
  MakeIndex(name, key_maker, {}, options.Unique || UniqueDefault, options.Descending,
            options.Soundex);
}

void InitIndexBuild() {
  Indexing = false;
  IndexSortMemory = kDefaultIndexSortMemory;
}

}  // namespace engine
