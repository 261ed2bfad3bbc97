#pragma once
// Numbers as text for the exports: exactly what printf's "%.Nf" writes in the C locale (the
// digits of the value's exact binary expansion, rounded half to even; a minus sign for every
// negative value, also one that rounds to zero, and for -0), but without the locale and faster.
#include <cstddef>
#include <cstdint>

// The most characters WriteFixed writes (a minus, 309 digits, the point and nine decimals).
constexpr size_t MaxFixedChars = 330;

// |value| x 10^decimals (0..9) rounded to a whole number as WriteFixed rounds it (on the exact
// value, half to even); false when that is 2^52 or more, or not a number.
bool RoundScaled(double value, int decimals, uint64_t& whole);
// Writes value with decimals (0..9) digits after the point at out and returns the end.
char* WriteFixed(char* out, double value, int decimals);
// Writes whole / 10^decimals exactly, with decimals (1..9) digits after the point: ticks of
// 10 microseconds as seconds (5), hundredths of a millisecond as milliseconds (2).
char* WriteScaled(char* out, uint64_t whole, int decimals);
