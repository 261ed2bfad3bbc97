#pragma once
// The units of displayed values: their codes, their texts (on screen and in text files) and how a
// value in each is written.
#include <cstdint>
#include <string>

struct TSettings;

// Unit codes shared by every displayed value.
enum : uint8_t {
  UNIT_NONE = 0,
  UNIT_VOLTS = 1,
  UNIT_TEMPERATURE = 2,
  UNIT_PERCENT = 3,
  UNIT_RPM = 4,
  UNIT_DEGREES = 5,
  UNIT_SPEED = 6,
  UNIT_MS = 7,
  UNIT_BAR = 8,
  UNIT_MBAR = 9,
  UNIT_INHG = 10,
  UNIT_PLAIN = 11,
  UNIT_TRIM = 12,
  UNIT_ONOFF = 13,
  UNIT_HEX8 = 14,
  UNIT_HEX16 = 15,
  UNIT_INTEGER = 16,
  UNIT_RPM_THRESHOLD = 17,
  UNIT_G = 18,
  UNIT_METRES = 19,
  UNIT_FEET = 20,
  UNIT_LAMBDA = 21,
  UNIT_AFR = 22,
};

// The unit's text as shown on screen (UTF-8; the degree sign is "°").
std::string UnitText(uint8_t unit, const TSettings& settings);
// The unit's text in the 8-bit form written to text files (the degree sign is the byte 0xB0).
std::string UnitText8Bit(uint8_t unit, const TSettings& settings);
// The value formatted as the unit prescribes; empty for an unknown unit.
std::string FormatValue(uint8_t unit, double value);
