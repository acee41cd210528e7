#include "engine/numerics.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace engine {

namespace {

constexpr int kBias = 129;
constexpr int kFractionBits = 39;
constexpr uint64_t kHidden = uint64_t{1} << kFractionBits;
constexpr uint64_t kFractionMask = kHidden - 1;

Real48 Pack(bool negative, int exponent, uint64_t fraction) {
  Real48 r{};
  r[0] = static_cast<uint8_t>(exponent);
  for (int i = 0; i < 5; ++i) r[1 + i] = static_cast<uint8_t>(fraction >> (8 * i));
  if (negative) r[5] = static_cast<uint8_t>(r[5] | 0x80);
  return r;
}

int64_t ClampToInt64(Extended value) {
  // 2^63 is exact in long double; every value below it converts without overflow.
  constexpr Extended kTwo63 = 9223372036854775808.0L;
  if (value >= kTwo63) return std::numeric_limits<int64_t>::max();
  if (value < -kTwo63) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

}  // namespace

Real48 Real48Encode(double value) {
  if (std::isnan(value) || value == 0.0) return Real48{};
  bool negative = std::signbit(value);
  double magnitude = std::fabs(value);
  if (std::isinf(magnitude) || magnitude > kReal48Max) {
    return Pack(negative, 255, kFractionMask);
  }
  int exp2 = 0;
  double m = std::frexp(magnitude, &exp2);  // magnitude = m * 2^exp2, m in [0.5, 1)
  // The 53-bit mantissa as an integer, then rounded to 40 bits (hidden bit included).
  uint64_t mant53 = static_cast<uint64_t>(std::ldexp(m, 53));
  constexpr int kDrop = 53 - (kFractionBits + 1);
  uint64_t mant = mant53 >> kDrop;
  uint64_t rest = mant53 & ((uint64_t{1} << kDrop) - 1);
  constexpr uint64_t kHalf = uint64_t{1} << (kDrop - 1);
  if (rest > kHalf || (rest == kHalf && (mant & 1))) ++mant;
  // magnitude = 1.fraction * 2^(exp2 - 1), so the biased exponent is exp2 - 1 + 129.
  int exponent = exp2 - 1 + kBias;
  if (mant == (kHidden << 1)) {
    mant >>= 1;
    ++exponent;
  }
  if (exponent > 255) return Pack(negative, 255, kFractionMask);
  if (exponent < 1) return Real48{};
  return Pack(negative, exponent, mant & kFractionMask);
}

double Real48Decode(const Real48& r) {
  if (r[0] == 0) return 0.0;
  uint64_t fraction = 0;
  for (int i = 4; i >= 0; --i) fraction = (fraction << 8) | r[1 + i];
  bool negative = (fraction >> kFractionBits) & 1;
  fraction &= kFractionMask;
  double magnitude =
      std::ldexp(static_cast<double>(kHidden | fraction), r[0] - kBias - kFractionBits);
  return negative ? -magnitude : magnitude;
}

double RoundToReal48(double value) { return Real48Decode(Real48Encode(value)); }

Extended RoundToReal48HalfAway(Extended value) {
  if (std::isnan(value) || value == 0.0L) return 0.0L;
  const bool negative = std::signbit(value);
  const Extended magnitude = std::fabs(value);
  const Extended largest = kReal48Max;
  if (std::isinf(magnitude) || magnitude > largest) return negative ? -largest : largest;
  int exp2 = 0;
  const Extended m = std::frexp(magnitude, &exp2);  // magnitude = m * 2^exp2, m in [0.5, 1)
  // The 64-bit mantissa of the extended value, then rounded to 40 bits, halves up.
  const uint64_t mant64 = static_cast<uint64_t>(std::ldexp(m, 64));
  constexpr int kDrop = 64 - (kFractionBits + 1);
  uint64_t mant = mant64 >> kDrop;
  if ((mant64 >> (kDrop - 1)) & 1) ++mant;
  if (mant == (kHidden << 1)) {
    mant >>= 1;
    ++exp2;
  }
  const int exponent = exp2 - 1 + kBias;
  if (exponent > 255) return negative ? -largest : largest;
  if (exponent < 1) return 0.0L;
  const Extended rounded = std::ldexp(static_cast<Extended>(mant), exp2 - (kFractionBits + 1));
  return negative ? -rounded : rounded;
}

std::string GeneralFloatText(Extended value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0.0L) return "0";
  constexpr int kPrecision = 15;
  // d.dddddddddddddde[+-]x: the value rounded to 15 significant digits.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::scientific, kPrecision - 1);
  const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
  const bool negative = text.front() == '-';
  const size_t e_at = text.find('e');
  std::string digits;
  for (char c : text.substr(negative ? 1 : 0, e_at - (negative ? 1 : 0))) {
    if (c != '.') digits += c;
  }
  const int exponent = std::atoi(std::string(text.substr(e_at + 1)).c_str());
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= -4 && exponent < kPrecision) {
    if (exponent >= 0) {
      const size_t whole = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= whole) {
        out += digits + std::string(whole - digits.size(), '0');
      } else {
        out += digits.substr(0, whole) + "." + digits.substr(whole);
      }
    } else {
      out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
    return out;
  }
  out += digits.substr(0, 1);
  if (digits.size() > 1) out += "." + digits.substr(1);
  out += "E" + std::to_string(exponent);
  return out;
}

int64_t RoundHalfAwayFromZero(Extended value) {
  if (std::isnan(value)) return 0;
  Extended t = std::trunc(value);
  Extended frac = std::fabs(value - t);
  if (frac >= 0.5L) t += value < 0 ? -1.0L : 1.0L;
  return ClampToInt64(t);
}

int64_t RoundHalfToEven(Extended value) {
  if (std::isnan(value)) return 0;
  Extended f = std::floor(value);
  Extended diff = value - f;
  if (diff > 0.5L || (diff == 0.5L && std::fmod(f, 2.0L) != 0.0L)) f += 1.0L;
  return ClampToInt64(f);
}

}  // namespace engine
