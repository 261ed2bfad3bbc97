#pragma once
// The colours of a table's cells and a scatter plot's points: a scale around a target value, rich
// (blue) one way and lean (red) the other, the target itself green, a little lean yellow; values
// beyond the reach take the end colours.
#include <cstdint>
#include <string>

class TDisplayVar;

struct TColourScale {
  double Target = 1.0;
  double Span = 0.15;        // the distance from the target at which a colour is full
  bool HigherIsLean = true;  // lambda and air/fuel ratio; a narrow-band sensor's volts are the other way
  bool Mixture = true;       // the ends mean rich and lean

  // -1 (fully below) .. 1 (fully above); 0 at the target and for NaN.
  double Position(double value) const;
  // 0xFFRRGGBB.
  uint32_t ColourOf(double value) const;
  // The value at a position -1 .. 1.
  double ValueAt(double position) const { return Target + position * Span; }
  // Words for the two ends: {below, above} ("rich"/"lean"; empty for sensors without that sense).
  const char* BelowWord() const { return Mixture ? (HigherIsLean ? "rich" : "lean") : ""; }
  const char* AboveWord() const { return Mixture ? (HigherIsLean ? "lean" : "rich") : ""; }
};

// The scale for Z: lambda 1.00 and air/fuel 14.7 (a reach of 15 %), an oxygen sensor's 0.45 V
// (higher is rich), other sensors the middle of their display range. A target or span text that
// is a number replaces the default.
TColourScale DefaultColourScale(const TDisplayVar& z);
TColourScale ColourScaleFor(const TDisplayVar& z, const std::string& target, const std::string& span);
// Black or white, whichever reads better on the colour (0xFFRRGGBB).
uint32_t TextColourOn(uint32_t background);
