// Fixed-width little-endian integers in byte buffers. Every file layout of the engine is read
// and written through these helpers, never by copying a struct onto the bytes.
#pragma once

#include <cstdint>

namespace engine {

inline uint16_t GetU16LE(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (static_cast<uint16_t>(p[1]) << 8));
}
inline uint32_t GetU32LE(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t GetI32LE(const uint8_t* p) { return static_cast<int32_t>(GetU32LE(p)); }

inline void PutU16LE(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32LE(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void PutI32LE(uint8_t* p, int32_t v) { PutU32LE(p, static_cast<uint32_t>(v)); }

// The same on char buffers (record buffers and std::string data).
inline uint16_t GetU16LE(const char* p) { return GetU16LE(reinterpret_cast<const uint8_t*>(p)); }
inline uint32_t GetU32LE(const char* p) { return GetU32LE(reinterpret_cast<const uint8_t*>(p)); }
inline int32_t GetI32LE(const char* p) { return GetI32LE(reinterpret_cast<const uint8_t*>(p)); }
inline void PutU16LE(char* p, uint16_t v) { PutU16LE(reinterpret_cast<uint8_t*>(p), v); }
inline void PutU32LE(char* p, uint32_t v) { PutU32LE(reinterpret_cast<uint8_t*>(p), v); }
inline void PutI32LE(char* p, int32_t v) { PutI32LE(reinterpret_cast<uint8_t*>(p), v); }

}  // namespace engine
