#include "engine/ndx_format.h"

#include <algorithm>

#include "engine/bytes.h"
#include "engine/dbf_file.h"
#include "engine/error.h"
#include "engine/expr_util.h"
#include "engine/utils.h"
#include "platform/core/file.h"
#include "platform/core/paths.h"

namespace engine {

TNdxHeader MakeNdxHeader(char key_type, uint16_t key_len, bool unique) {
  TNdxHeader h;
  h.Root = 1;
  h.NextFree = 2;
  h.KeyType = key_type;
  h.KeyLen = key_len;
  h.EntrySize = NdxEntrySize(key_len);
  h.KeysPerPage = NdxKeysPerPage(h.EntrySize);
  h.NumericFlag = IsNumericKeyType(key_type) ? 1 : 0;
  h.Unique = unique ? 1 : 0;
  return h;
}

void EncodeNdxHeader(const TNdxHeader& h, uint8_t* bytes) {
  std::fill(bytes, bytes + kNdxHeaderSize, uint8_t{0});
  PutU32LE(bytes + 0, h.Root);
  PutU32LE(bytes + 4, h.NextFree);
  bytes[9] = h.NoTypeLetter ? 0 : static_cast<uint8_t>(h.KeyType);
  PutU16LE(bytes + 12, h.KeyLen);
  PutU16LE(bytes + 14, h.KeysPerPage);
  PutU16LE(bytes + 16, h.NumericFlag);
  PutU16LE(bytes + 18, h.EntrySize);
  bytes[23] = h.Unique;
}

bool CheckNdxHeader(const TNdxHeader& h) {
  const char t = h.KeyType;
  if (t != 'C' && !IsNumericKeyType(t)) return false;
  if (h.KeyLen < 1 || h.KeyLen > kNdxMaxKeyLen) return false;
  // Numeric keys are read as 8-byte doubles: any other length would read past the key.
  if (IsNumericKeyType(t) && h.KeyLen != 8) return false;
  if (h.EntrySize != NdxEntrySize(h.KeyLen)) return false;
  if (h.KeysPerPage != NdxKeysPerPage(h.EntrySize)) return false;
  return h.Root >= 1 && h.Root < h.NextFree;
}

bool DecodeNdxHeader(const uint8_t* bytes, TNdxHeader& h) {
  h.Root = GetU32LE(bytes + 0);
  h.NextFree = GetU32LE(bytes + 4);
  h.KeyType = static_cast<char>(bytes[9]);
  h.KeyLen = GetU16LE(bytes + 12);
  h.KeysPerPage = GetU16LE(bytes + 14);
  h.NumericFlag = GetU16LE(bytes + 16);
  h.EntrySize = GetU16LE(bytes + 18);
  h.Unique = bytes[23];
  h.NoTypeLetter = bytes[9] == 0;
  if (h.NoTypeLetter) h.KeyType = h.NumericFlag != 0 ? 'N' : 'C';
  return CheckNdxHeader(h);
}

std::string NdxTableStamp(const std::string& table_file_name) {
  std::string dir, base, ext;
  FileSplit(table_file_name, dir, base, ext);
  std::string stamp = RTrim(base) + ext;
  if (stamp.size() > kNdxStampSize) stamp.resize(kNdxStampSize);
  return stamp;
}

void BuildNdxHeaderPage(const TNdxHeader& h, const std::string& expression, int32_t rec_count,
                        const std::string& table_file_name, uint8_t* page) {
  std::fill(page, page + kNdxPageSize, uint8_t{0});
  EncodeNdxHeader(h, page);
  const size_t n = std::min<size_t>(expression.size(), kNdxExprSize - 1);
  std::copy_n(expression.data(), n, page + kNdxExprOffset);
  PutU32LE(page + kNdxCheckOffset, ~static_cast<uint32_t>(rec_count));
  PutI32LE(page + kNdxCountOffset, rec_count);
  const std::string stamp = NdxTableStamp(table_file_name);
  std::copy(stamp.begin(), stamp.end(), page + kNdxStampOffset);
}

std::string NormalizeKeyExpression(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\'' || c == '"') {
      const size_t close = text.find(c, i + 1);
      if (close == std::string::npos) {
        // An open string runs to the end of the text: kept as it stands.
        out.append(text, i, std::string::npos);
        break;
      }
      const std::string_view literal(text.data() + i + 1, close - i - 1);
      const char quote = literal.find('"') == std::string_view::npos ? '"' : c;
      out += quote;
      out += literal;
      out += quote;
      i = close + 1;
      continue;
    }
    if (c != ' ' && c != '\t') out += UpperChar(c);
    ++i;
  }
  return out;
}

// ---- Keys ------------------------------------------------------------------------------

int CompareCharKeys(const uint8_t* a, const uint8_t* b, uint16_t len) {
  return CompareBytes(a, b, len);
}

int CompareNumberKeys(const uint8_t* a, const uint8_t* b, uint16_t /*len*/) {
  return CompareNumbers(GetKeyNumber(a), GetKeyNumber(b));
}

TKeyCompare KeyCompareFor(char key_type) {
  return IsNumericKeyType(key_type) ? &CompareNumberKeys : &CompareCharKeys;
}

// ---- Node pages ------------------------------------------------------------------------

void SetNodeKeyCount(uint8_t* page, uint16_t count) { PutU32LE(page, count); }

uint32_t EntryChild(const uint8_t* entry) { return GetU32LE(entry); }
uint32_t EntryRecNo(const uint8_t* entry) { return GetU32LE(entry + 4); }

bool NodeIsLeaf(const uint8_t* page) { return GetU32LE(page + 4) == 0; }

uint32_t NodeRightChild(const uint8_t* page, const TNdxHeader& h) {
  const uint32_t k = std::min<uint32_t>(NodeKeyCount(page), h.KeysPerPage);
  return GetU32LE(page + 4 + k * h.EntrySize);
}

void SetNodeRightChild(uint8_t* page, const TNdxHeader& h, uint32_t child) {
  const uint32_t k = std::min<uint32_t>(NodeKeyCount(page), h.KeysPerPage);
  PutU32LE(page + 4 + k * h.EntrySize, child);
}

// ---- Header summary --------------------------------------------------------------------

void DecodeIndexInfo(const uint8_t* page, TIndexInfo& info) {
  const char* expr = reinterpret_cast<const char*>(page + kNdxExprOffset);
  info.Expression.assign(expr, strnlen(expr, kNdxExprSize - 1));
  info.KeyLen = page[12];
  info.KeyType = static_cast<char>(page[9]);
  info.Unique = page[23];
  const uint32_t count = GetU32LE(page + kNdxCountOffset);
  if (GetU32LE(page + kNdxCheckOffset) == ~count) {
    const char* stamp = reinterpret_cast<const char*>(page + kNdxStampOffset);
    info.Stamp.assign(stamp, strnlen(stamp, kNdxStampSize));
    info.RecCount = static_cast<int32_t>(count);
  } else {
    info.Stamp.clear();
    info.RecCount = -1;
  }
}

void IndexInfo(TIndexInfo& info, const std::string& file_name) {
  info = TIndexInfo{};
  ErrorCode = 0;
  if (file_name.empty()) {
    SetError(220, "index filename not specified [IndexInfo(<>,)]");
    return;
  }
  const std::string name = AddDefaultExt(file_name, "NDX");
  const int saved_mode = FileMode;
  FileMode = platform::kModeRead | platform::kShareDenyNone;
  platform::File f;
  int rc = f.Open(platform::ResolveCase(name), FileMode);
  FileMode = saved_mode;
  uint8_t page[kNdxPageSize];
  if (rc == 0) {
    size_t got = 0;
    rc = f.ReadAt(0, page, sizeof page, &got);
    if (rc == 0 && got != sizeof page) rc = 100;  // a file shorter than its header page
    f.Close();
  }
  if (rc != 0) {
    SetError(static_cast<uint16_t>(rc),
             "Error reading index file: \n\r[IndexInfo(<>," + name + ")]");
    return;
  }
  DecodeIndexInfo(page, info);
}

int32_t IndexHeaderRecCount(const std::string& file_name) {
  TIndexInfo info;
  IndexInfo(info, file_name);
  return ErrorCode == 0 ? info.RecCount : -1;
}

}  // namespace engine
