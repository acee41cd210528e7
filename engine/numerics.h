// Numbers as the engine stores and rounds them: the 6-byte real, rounding half away from zero
// (the engine's number conversions) and half to even (the application's figures), and the
// extended-precision type used where a computation needs more than a double.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace engine {

// Extended precision (80-bit on x86-64).
using Extended = long double;

// The 6-byte real: byte 0 is the exponent biased by 129 (0 means the value 0); bytes 1 to 5
// hold the 39-bit fraction of a mantissa with an implied leading 1, least significant byte
// first, and the sign in the top bit of byte 5. Value = (-1)^sign * 1.fraction * 2^(exp-129).
using Real48 = std::array<uint8_t, 6>;

// The largest magnitude a 6-byte real holds: (2^40 - 1) * 2^87, about 1.7e38.
inline constexpr double kReal48Max = 1099511627775.0 * 9223372036854775808.0 * 16777216.0;
// The smallest non-zero magnitude: 2^-128, about 2.9e-39.
inline constexpr double kReal48Min = 1.0 / 18446744073709551616.0 / 18446744073709551616.0;

// Encodes `value`, rounding the mantissa to 39 bits (nearest, ties to even). A magnitude
// above kReal48Max (infinity included) gives the largest real of that sign; a magnitude
// that rounds below kReal48Min gives 0; NaN gives 0.
Real48 Real48Encode(double value);
// Decodes a 6-byte real; every exponent-0 pattern is 0.
double Real48Decode(const Real48& r);
// The value a 6-byte real keeps of `value`: Real48Decode(Real48Encode(value)).
double RoundToReal48(double value);

// `value` rounded to the 40-bit mantissa of a 6-byte real (implied bit included) with halves
// away from zero, as the extended-precision result of a division is stored into a 6-byte real:
// 1 + 2^-40 gives 1 + 2^-39. A magnitude above kReal48Max (infinity included) gives kReal48Max
// of that sign; one that rounds below kReal48Min gives 0; NaN gives 0.
Extended RoundToReal48HalfAway(Extended value);

// The general decimal text of `value` with up to 15 significant digits and "." as the point,
// trailing zeros dropped: fixed notation while the value has at most 15 digits before the
// point and is at least 0.0001 in magnitude ("62.5", "125", "-0.0001"), otherwise scientific
// with an unpadded exponent ("1E15", "1.5E-7"). 0 gives "0"; NaN "NAN"; infinities "INF" and
// "-INF".
std::string GeneralFloatText(Extended value);

// The nearest integer, halves away from zero (2.5 -> 3, -2.5 -> -3). NaN gives 0; values
// beyond the range of int64_t are clamped to it.
int64_t RoundHalfAwayFromZero(Extended value);
// The nearest integer, halves to the even neighbour (70.5 -> 70, 187.5 -> 188). NaN gives 0;
// values beyond the range of int64_t are clamped to it.
int64_t RoundHalfToEven(Extended value);

}  // namespace engine
