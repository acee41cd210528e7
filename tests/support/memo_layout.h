// The memo file's byte layout written out by hand, for tests that build memo fixtures from the
// layout or check what the engine wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/bytes.h"

namespace testing_support::memo {

inline std::string U32(uint32_t v) {
  std::string s(4, '\0');
  engine::PutU32LE(s.data(), v);
  return s;
}

inline std::string U16(uint16_t v) {
  std::string s(2, '\0');
  engine::PutU16LE(s.data(), v);
  return s;
}

inline uint32_t U32At(const std::string& file, size_t at) {
  return engine::GetU32LE(file.data() + at);
}

// `bytes` padded with bytes 0 to a multiple of `b`.
inline std::string Blocks(std::string bytes, size_t b) {
  bytes.resize((bytes.size() + b - 1) / b * b, '\0');
  return bytes;
}

// A generation-131 header block (next free block, the rest 0).
inline std::string Header131(uint32_t next) { return Blocks(U32(next), 512); }

// A generation-139 header block as the dBASE IV layout has it.
inline std::string Header139(uint32_t next, const std::string& name, uint16_t b) {
  std::string h = U32(next) + U32(0) + name;
  h.resize(18, '\0');
  h += U16(258) + U16(b);
  return Blocks(h, b);
}

// A block-header memo: 0xFFFF, 8, text length + 8, the text.
inline std::string HeaderMemo(const std::string& text) {
  return U16(0xFFFF) + U16(8) + U32(static_cast<uint32_t>(text.size() + 8)) + text;
}

}  // namespace testing_support::memo
