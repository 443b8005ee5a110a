// Number scanning for the text reader's hot loops: decimal integers, and a
// fast path for decimal floats that is exact (falls back to std::from_chars
// for anything it cannot prove correctly rounded).
#pragma once

#include <bit>
#include <charconv>
#include <cstdint>
#include <limits>

namespace kv::xfile::detail {

inline bool IsDigitChar(char c) { return unsigned(c - '0') < 10; }

// An unsigned decimal integer of at most 32 bits at p; returns its end, or
// nullptr when there is no digit or the value overflows.
inline const char* ScanUint(const char* p, const char* end, std::uint32_t& value) {
  if (p == end || !IsDigitChar(*p)) return nullptr;
  std::uint64_t v = std::uint64_t(*p++ - '0');
  while (p != end && IsDigitChar(*p)) {
    v = v * 10 + std::uint64_t(*p++ - '0');
    if (v > 0xffffffffu) return nullptr;
  }
  value = std::uint32_t(v);
  return p;
}

// A decimal float ("-12.5", "3", ".5", "1e-3") whose digits fit 2^53 and
// whose decimal exponent is within 10^22: the double m * 10^e or m / 10^e is
// then correctly rounded (one exact operand, one rounding). Narrowing it to
// float rounds correctly too unless it lies exactly halfway between two
// floats, or in the subnormal range; those go to the slow path. Returns the
// end, or nullptr to ask for the slow path.
inline const char* ScanFloatFast(const char* p, const char* end, float& value) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  std::uint64_t mantissa = 0;
  int digits = 0, exponent = 0;
  const char* first = p;
  while (p != end && IsDigitChar(*p)) {
    mantissa = mantissa * 10 + std::uint64_t(*p++ - '0');
    digits += mantissa != 0;
  }
  const bool integerPart = p != first;
  bool fractionPart = false;
  if (p != end && *p == '.') {
    ++p;
    const char* fraction = p;
    while (p != end && IsDigitChar(*p)) {
      mantissa = mantissa * 10 + std::uint64_t(*p++ - '0');
      digits += mantissa != 0;
    }
    exponent = -int(p - fraction);
    fractionPart = p != fraction;
  }
  if (!integerPart && !fractionPart) return nullptr;
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    const bool negativeExponent = p != end && *p == '-';
    if (p != end && (*p == '-' || *p == '+')) ++p;
    if (p == end || !IsDigitChar(*p)) return nullptr;
    int e = 0;
    while (p != end && IsDigitChar(*p)) {
      if (e < 10000) e = e * 10 + (*p - '0');
      ++p;
    }
    exponent += negativeExponent ? -e : e;
  }
  if (digits > 15 || exponent < -22 || exponent > 22) return nullptr;
  double d = double(mantissa);
  d = exponent < 0 ? d / kPowers[-exponent] : d * kPowers[exponent];
  if (d != 0 && (d < double(std::numeric_limits<float>::min()) || d > double(std::numeric_limits<float>::max())))
    return nullptr;
  // Exactly halfway between two floats: the low 29 of the double's 52
  // fraction bits are 1 followed by zeros.
  if ((std::bit_cast<std::uint64_t>(d) & 0x1fffffffu) == 0x10000000u) return nullptr;
  value = negative ? -float(d) : float(d);
  return p;
}

}  // namespace kv::xfile::detail
