#include "analysis/DecimalText.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {
constexpr uint64_t kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

template <typename Unsigned>
int DigitCount(Unsigned n) {
  int digits = 1;
  for (; n >= 10000; n /= 10000) digits += 4;
  return digits + (n >= 10) + (n >= 100) + (n >= 1000);
}

// The last `digits` digits of n, written backwards so that they end at end.
template <typename Unsigned>
void WriteDigitsBefore(char* end, Unsigned n, int digits) {
  for (; digits >= 2; digits -= 2) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * (n % 100), 2);
    n /= 100;
  }
  if (digits == 1) end[-1] = static_cast<char>('0' + n % 10);
}

// n in decimal; in 32 bits where it fits, where dividing is cheaper.
char* WriteUnsigned(char* out, uint64_t n) {
  if (n <= UINT32_MAX) {
    const auto small = static_cast<uint32_t>(n);
    const int digits = DigitCount(small);
    WriteDigitsBefore(out + digits, small, digits);
    return out + digits;
  }
  const int digits = DigitCount(n);
  WriteDigitsBefore(out + digits, n, digits);
  return out + digits;
}

template <int Decimals>
char* WriteScaledBy(char* out, uint64_t whole) {
  constexpr uint64_t scale = kPow10[Decimals];
  out = WriteUnsigned(out, whole / scale);
  *out = '.';
  WriteDigitsBefore(out + 1 + Decimals, static_cast<uint32_t>(whole % scale), Decimals);
  return out + 1 + Decimals;
}
}  // namespace

char* WriteScaled(char* out, uint64_t whole, int decimals) {
  // A division by a constant is a multiplication; one by a variable costs ten times as much.
  switch (decimals) {
    case 1: return WriteScaledBy<1>(out, whole);
    case 2: return WriteScaledBy<2>(out, whole);
    case 3: return WriteScaledBy<3>(out, whole);
    case 4: return WriteScaledBy<4>(out, whole);
    case 5: return WriteScaledBy<5>(out, whole);
    case 6: return WriteScaledBy<6>(out, whole);
    case 7: return WriteScaledBy<7>(out, whole);
    case 8: return WriteScaledBy<8>(out, whole);
    default: return WriteScaledBy<9>(out, whole);
  }
}

bool RoundScaled(double value, int decimals, uint64_t& whole) {
  const double scale = static_cast<double>(kPow10[decimals]);
  const double a = std::fabs(value);
  const double x = a * scale;
  // Below 2^52 the integer part of x and the distance to the next half are exact, and Dekker's
  // product gives the exact remainder of the rounded product (10^decimals is 5^decimals, at most
  // 21 bits, times a power of two, so a's halves of 26 bits multiply exactly), so the rounding is
  // decided on the exact value of |value| x 10^decimals. False for NaN and infinities.
  if (!(x < 4503599627370496.0)) return false;
  const double split = 134217729.0 * a;  // 2^27 + 1
  const double high = split - (split - a);
  const double low = a - high;
  const double remainder = (high * scale - x) + low * scale;
  const auto truncated = static_cast<uint64_t>(x);
  const auto below = static_cast<double>(truncated);
  // The sign of (exact product - whole - 1/2): the first difference is exact wherever it is
  // near zero, and a sum's sign survives rounding.
  const double beyondHalf = ((x - below) - 0.5) + remainder;
  whole = truncated + (static_cast<uint64_t>(beyondHalf > 0) | (static_cast<uint64_t>(beyondHalf == 0) & truncated & 1));
  return true;
}

char* WriteFixed(char* out, double value, int decimals) {
  uint64_t n = 0;
  if (RoundScaled(value, decimals, n)) {
    if (std::signbit(value)) *out++ = '-';
    return decimals == 0 ? WriteUnsigned(out, n) : WriteScaled(out, n, decimals);
  }
  // Huge values, infinities and NaN as the standard library writes them ("as if by printf").
  return std::to_chars(out, out + MaxFixedChars, value, std::chars_format::fixed, decimals).ptr;
}
