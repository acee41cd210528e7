#include "engine/numerics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/bytes.h"

namespace {

using engine::Real48;

struct EncodeCase {
  double value;
  Real48 bytes;
  double decoded;  // what the bytes read back as
  const char* name;
};

TEST(Real48Test, EncodesTheByteLayout) {
  const EncodeCase cases[] = {
      {0.0, {0, 0, 0, 0, 0, 0}, 0.0, "zero_is_all_zero"},
      {1.0, {0x81, 0, 0, 0, 0, 0}, 1.0, "one_has_exponent_129"},
      {-1.0, {0x81, 0, 0, 0, 0, 0x80}, -1.0, "sign_in_top_bit_of_byte_5"},
      {0.5, {0x80, 0, 0, 0, 0, 0}, 0.5, "half"},
      {3.0, {0x82, 0, 0, 0, 0, 0x40}, 3.0, "fraction_starts_below_sign"},
      {10.0, {0x84, 0, 0, 0, 0, 0x20}, 10.0, "ten"},
      {1.0 + std::ldexp(1.0, -39),
       {0x81, 1, 0, 0, 0, 0},
       1.0 + std::ldexp(1.0, -39),
       "lowest_fraction_bit_in_byte_1"},
      {-std::ldexp(1.0, 39), {0xA8, 0, 0, 0, 0, 0x80}, -std::ldexp(1.0, 39), "two_to_the_39"},
      {2.0 - std::ldexp(1.0, -41), {0x82, 0, 0, 0, 0, 0}, 2.0, "rounding_carry_raises_exponent"},
  };
  for (const EncodeCase& c : cases) {
    EXPECT_EQ(engine::Real48Encode(c.value), c.bytes) << c.name;
    EXPECT_EQ(engine::Real48Decode(c.bytes), c.decoded) << c.name;
  }
}

struct RoundCase {
  double value;
  double expected;
  const char* name;
};

TEST(Real48Test, KeepsThirtyNineFractionBitsRoundingToNearestEven) {
  const double ulp = std::ldexp(1.0, -39);  // one unit of the fraction at exponent 0
  const RoundCase cases[] = {
      {1234567.0, 1234567.0, "integer_exact"},
      {-0.75, -0.75, "negative_fraction_exact"},
      {1.0 + ulp / 2, 1.0, "tie_to_even_down"},
      {1.0 + 3 * ulp / 2, 1.0 + 2 * ulp, "tie_to_even_up"},
      {1.0 + ulp / 2 + std::ldexp(1.0, -52), 1.0 + ulp, "above_half_rounds_up"},
      {1.0 + ulp / 2 - std::ldexp(1.0, -52), 1.0, "below_half_rounds_down"},
      {1e39, engine::kReal48Max, "overflow_gives_largest"},
      {-std::numeric_limits<double>::infinity(), -engine::kReal48Max, "minus_infinity"},
      {std::numeric_limits<double>::quiet_NaN(), 0.0, "nan_gives_zero"},
      {engine::kReal48Min, engine::kReal48Min, "smallest_kept"},
      {engine::kReal48Min / 4, 0.0, "underflow_gives_zero"},
  };
  for (const RoundCase& c : cases) {
    EXPECT_EQ(engine::RoundToReal48(c.value), c.expected) << c.name;
  }
}

TEST(Real48Test, InexactValuesStayWithinHalfAUnitAndAreStable) {
  for (double v : {0.1, 1234.56, -98765.4321, 3.14159265358979, 1e20, 7e-20}) {
    double r = engine::RoundToReal48(v);
    int exp2 = 0;
    std::frexp(v, &exp2);
    EXPECT_LE(std::fabs(r - v), std::ldexp(1.0, exp2 - 41)) << v;
    EXPECT_EQ(engine::RoundToReal48(r), r) << v;
  }
}

TEST(Real48Test, ExponentZeroDecodesAsZeroWhateverTheMantissa) {
  EXPECT_EQ(engine::Real48Decode(Real48{0, 0xFF, 0x12, 0, 0, 0xFF}), 0.0);
}

struct IntRoundCase {
  long double value;
  int64_t away;
  int64_t even;
  const char* name;
};

TEST(RoundingTest, HalfAwayFromZeroAndHalfToEven) {
  const IntRoundCase cases[] = {
      {2.5L, 3, 2, "positive_half"},
      {-2.5L, -3, -2, "negative_half"},
      {3.5L, 4, 4, "odd_half"},
      {-3.5L, -4, -4, "negative_odd_half"},
      {70.5L, 71, 70, "seventy_and_a_half"},
      {187.5L, 188, 188, "even_neighbour_above"},
      {0.5L, 1, 0, "half_of_one"},
      {-0.5L, -1, 0, "minus_half"},
      {2.4999999L, 2, 2, "just_below_half"},
      {-2.6L, -3, -3, "negative_above_half"},
      {0.0L, 0, 0, "zero"},
      {1e30L, INT64_MAX, INT64_MAX, "clamped_high"},
      {-1e30L, INT64_MIN, INT64_MIN, "clamped_low"},
      {std::numeric_limits<long double>::quiet_NaN(), 0, 0, "nan"},
  };
  for (const IntRoundCase& c : cases) {
    EXPECT_EQ(engine::RoundHalfAwayFromZero(c.value), c.away) << c.name;
    EXPECT_EQ(engine::RoundHalfToEven(c.value), c.even) << c.name;
  }
}

TEST(BytesTest, LittleEndianOnUnsignedAndCharBuffers) {
  uint8_t u[4] = {};
  engine::PutU32LE(u, 0x12345678u);
  EXPECT_EQ(u[0], 0x78);
  EXPECT_EQ(u[3], 0x12);
  EXPECT_EQ(engine::GetU32LE(u), 0x12345678u);
  engine::PutI32LE(u, -2);
  EXPECT_EQ(engine::GetI32LE(u), -2);
  EXPECT_EQ(engine::GetU32LE(u), 0xFFFFFFFEu);

  // Bytes from 0x80 in a char buffer must not sign-extend into the higher bytes.
  char c[4] = {'\xFF', '\x01', '\x80', '\xFF'};
  EXPECT_EQ(engine::GetU16LE(c), 0x01FF);
  EXPECT_EQ(engine::GetU32LE(c), 0xFF8001FFu);
  engine::PutU16LE(c, 0xA1B2);
  EXPECT_EQ(static_cast<uint8_t>(c[0]), 0xB2);
  EXPECT_EQ(static_cast<uint8_t>(c[1]), 0xA1);
}

TEST(Real48Test, TheExtendedQuotientRoundsToTheRealWithHalvesAwayFromZero) {
  using engine::Extended;
  const Extended one = 1.0L;
  struct Case {
    Extended value, expected;
    const char* name;
  } cases[] = {
      {one + std::ldexp(one, -40), one + std::ldexp(one, -39), "tie_goes_up_not_to_even"},
      {-(one + std::ldexp(one, -40)), -(one + std::ldexp(one, -39)), "negative_tie_goes_down"},
      {one + std::ldexp(one, -41), one, "below_half_is_dropped"},
      {2.0L - std::ldexp(one, -41), 2.0L, "carry_raises_the_exponent"},
      {1000.0L / 16, 62.5L, "exact_stays"},
      {1e39L, engine::kReal48Max, "overflow_gives_largest"},
      {1e-40L, 0.0L, "underflow_gives_zero"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(engine::RoundToReal48HalfAway(c.value), c.expected) << c.name;
  // The 6-byte real's own encoding rounds the same tie to even.
  EXPECT_EQ(engine::RoundToReal48(1.0 + std::ldexp(1.0, -40)), 1.0);
}

TEST(GeneralFloatTextTest, FifteenSignificantDigitsWithAPoint) {
  struct Case {
    engine::Extended value;
    const char* text;
  } cases[] = {
      {engine::RoundToReal48HalfAway(1000.0L / 3), "333.333333333489"},
      {engine::RoundToReal48HalfAway(1000.0L / 8), "125"},
      {engine::RoundToReal48HalfAway(1000.0L / 16), "62.5"},
      {engine::RoundToReal48HalfAway(1000.0L / 48), "20.833333333343"},
      {-2.5L, "-2.5"},
      {0.0L, "0"},
      {0.0001L, "0.0001"},
      {0.00001L, "1E-5"},
      {999999999999999.0L, "999999999999999"},
      {1e15L, "1E15"},
      {1.5e20L, "1.5E20"},
      {1.0L / 3, "0.333333333333333"},
  };
  for (const Case& c : cases) EXPECT_EQ(engine::GeneralFloatText(c.value), c.text) << c.text;
}

}  // namespace
