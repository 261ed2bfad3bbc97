// The CSV table: rows on one time base, sample-and-hold values written as the .tdf export writes
// them, the header and its quoting, the number texts, bounds, and the file written whole or not at
// all.
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <stdexcept>

#include "analysis/CsvExport.h"
#include "analysis/DecimalText.h"
#include "recording/FileOperations.h"
#include "recording_support.h"
#include "vars/Conversions.h"

namespace {

std::string Fixed(double v, int decimals) {
  char buf[MaxFixedChars + 1];
  *WriteFixed(buf, v, decimals) = '\0';
  return buf;
}

std::string Printf(double v, int decimals) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

TEST(DecimalText, WritesWhatPrintfWritesInTheCLocale) {
  const double inf = std::numeric_limits<double>::infinity();
  // Exact halves round to even; negatives that round to zero and -0 keep the minus sign.
  for (double v : {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.0078125, -0.0078125, 2.5e-7, 3.5e-7, 1e-9, -1e-9, 0.1, 1.0 / 3,
                   -3.5, 3250.0, 4503599627.370496, 4.6e15, 1e300, -1e300, std::numeric_limits<double>::max(),
                   std::numeric_limits<double>::denorm_min(), inf, -inf, std::nan(""), -std::nan("")})
    for (int d = 0; d <= 9; ++d) EXPECT_EQ(Fixed(v, d), Printf(v, d)) << v << " with " << d;
  // Random bit patterns, fractions and dyadic values (ties at every precision).
  std::mt19937_64 random(20);
  for (int i = 0; i < 300000; ++i) {
    const uint64_t bits = random();
    double v;
    switch (i % 3) {
      case 0: std::memcpy(&v, &bits, sizeof v); break;
      case 1: v = (static_cast<double>(bits % 2000000001) - 1e9) / static_cast<double>(1 + (bits >> 40) % 1000000); break;
      default: v = std::ldexp(static_cast<double>(bits >> 11), -static_cast<int>((bits >> 3) % 80)); break;
    }
    ASSERT_EQ(Fixed(v, i % 10), Printf(v, i % 10)) << v;
  }
}

TEST(DecimalText, ScaledWholeNumbers) {
  char buf[64];
  EXPECT_EQ(std::string(buf, WriteScaled(buf, 0, 5)), "0.00000");
  EXPECT_EQ(std::string(buf, WriteScaled(buf, 1, 5)), "0.00001");
  EXPECT_EQ(std::string(buf, WriteScaled(buf, 4294967295u, 5)), "42949.67295");
  EXPECT_EQ(std::string(buf, WriteScaled(buf, 5000, 2)), "50.00");
  EXPECT_EQ(std::string(buf, WriteScaled(buf, 18446744073709551615u, 9)), "18446744073.709551615");
}

TEST(CsvField, QuotesCommasQuotesAndLineBreaks) {
  EXPECT_EQ(CsvField("Revs (rpm)"), "Revs (rpm)");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("MAP (\")"), "\"MAP (\"\")\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(CsvField("cr\r"), "\"cr\r\"");
  EXPECT_EQ(CsvField(""), "");
}

class Csv : public RecordingTest {
 protected:
  void SetUp() override {
    RecordingTest::SetUp();
    ecu_->SpeedConstant = 10000.0;
  }
  // The whole table as text.
  static std::string Table(TRecording& rec, const TCsvOptions& options) {
    TCsvExport table(rec, options);
    std::string text;
    TCsvResult r = WriteCsv(table, [&](const char* d, size_t n) {
      text.append(d, n);
      return true;
    });
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Rows, static_cast<int64_t>(Split(text, '\n').size()) - 2);
    return text;
  }
  static std::vector<std::string> Lines(const std::string& text) {
    auto lines = Split(text, '\n');
    EXPECT_EQ(lines.back(), "");  // every line ends in LF
    lines.pop_back();
    return lines;
  }
  std::string Value(TDisplayVar* var, uint16_t raw) { return Printf(var->Convert(var->Unit, raw), 6); }
  // The values a .tdf export writes for the variable, in sample order.
  std::vector<std::string> TdfValues(TRecording& rec, TDisplayVar* var) {
    const std::string path = dir_.File("values.tdf");
    EXPECT_TRUE(ExportVariable(rec, *var, path));
    std::vector<std::string> values;
    auto lines = Split(ReadFileBytes(path), '\n');
    for (size_t i = 1; i < lines.size(); ++i)
      if (!lines[i].empty()) values.push_back(lines[i].substr(lines[i].find('\t') + 1, lines[i].size() - lines[i].find('\t') - 2));
    return values;
  }
};

TEST_F(Csv, HeaderNamesEachSensorWithItsUnitAndQuotesWhatNeedsIt) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 1000, {}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs, sensors_->Gear, sensors_->WaterTemp, sensors_->MAP};
  sensors_->MAP->Unit = UNIT_INHG;  // the unit text is a quote
  options.To = 0;
  EXPECT_EQ(Table(*rec, options), "Time (s),Revs (rpm),Gear,Water Temp (\xC2\xB0" "F),\"MAP (\"\")\"\n0.00000,,,,\n");
  options.Age = true;
  options.Sensors = {sensors_->Revs, sensors_->Gear};
  EXPECT_EQ(Lines(Table(*rec, options))[0], "Time (s),Revs (rpm),Revs age (ms),Gear,Gear age (ms)");
}

TEST_F(Csv, EachRowHoldsTheLatestSampleAtOrBeforeItsTime) {
  // Samples at 0.1 s, 0.25 s and 0.3 s; rows every 0.1 s: before the first sample the field is
  // empty; a row exactly on a sample takes it (0.3 s is 3 / 10, a hair below 30000 ticks as a
  // double); between and after samples the latest one holds.
  std::unique_ptr<TRecording> rec(MakeRecording("R", 500, {{1, {{10000, 1000}, {25000, 900}, {30000, 800}}}}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs};
  options.RateHz = 10;
  options.Age = true;
  TDisplayVar* revs = sensors_->Revs;
  EXPECT_EQ(Lines(Table(*rec, options)),
            (std::vector<std::string>{"Time (s),Revs (rpm),Revs age (ms)", "0.00000,,", "0.10000," + Value(revs, 1000) + ",0.00",
                                      "0.20000," + Value(revs, 1000) + ",100.00", "0.30000," + Value(revs, 800) + ",0.00",
                                      "0.40000," + Value(revs, 800) + ",100.00", "0.50000," + Value(revs, 800) + ",200.00"}));
  // At a rate that falls between the ticks the age is rounded to 10 microseconds.
  options.RateHz = 3;
  auto lines = Lines(Table(*rec, options));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "0.33333," + Value(revs, 800) + ",33.33");
}

TEST_F(Csv, RowTimesAreKOverTheRateUpToAndIncludingTheEnd) {
  // Adding 0.1 ten thousand times overshoots 1000 and would lose the last row.
  std::unique_ptr<TRecording> rec(MakeRecording("R", 1000000, {{1, {{0, 1000}}}}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs};
  options.RateHz = 10;
  auto lines = Lines(Table(*rec, options));
  ASSERT_EQ(lines.size(), 10002u);
  EXPECT_EQ(lines.back().substr(0, 11), "1000.00000,");
  EXPECT_EQ(lines[4].substr(0, 8), "0.30000,");

  // From and To bound the rows; the first row is the first k / rate at or after From.
  options.RateHz = 20;
  options.From = 0.15;
  options.To = 0.3;
  lines = Lines(Table(*rec, options));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1].substr(0, 8), "0.15000,");
  EXPECT_EQ(lines[4].substr(0, 8), "0.30000,");
}

TEST_F(Csv, EverySampleGivesOneRowPerDistinctSampleTimeWithinTheBounds) {
  std::unique_ptr<TRecording> rec(
      MakeRecording("R", 1000, {{1, {{0, 1000}, {100, 900}, {200, 800}}}, {6, {{100, 50}, {150, 60}}}}));
  TCsvOptions options;
  options.Sensors = {sensors_->TPS, sensors_->Revs};
  options.EverySample = true;
  options.Age = true;
  TDisplayVar* tps = sensors_->TPS;
  TDisplayVar* revs = sensors_->Revs;
  EXPECT_EQ(Lines(Table(*rec, options)),
            (std::vector<std::string>{"Time (s),TPS (%),TPS age (ms),Revs (rpm),Revs age (ms)",
                                      "0.00000,,," + Value(revs, 1000) + ",0.00",
                                      "0.00100," + Value(tps, 50) + ",0.00," + Value(revs, 900) + ",0.00",
                                      "0.00150," + Value(tps, 60) + ",0.00," + Value(revs, 900) + ",0.50",
                                      "0.00200," + Value(tps, 60) + ",0.50," + Value(revs, 800) + ",0.00"}));
  // Both bounds are inclusive; a sample before From still holds at the first row.
  options.From = 0.0015;
  options.To = 0.0015;
  auto lines = Lines(Table(*rec, options));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "0.00150," + Value(tps, 60) + ",0.00," + Value(revs, 900) + ",0.50");
}

TEST_F(Csv, TimesGoOnPastTheTickCountersWrap) {
  // The 32-bit tick counter wraps after 42949.67296 s.
  std::unique_ptr<TRecording> rec(MakeRecording("R", 43000000, {{1, {{4294960000u, 1000}, {5000, 900}}}}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs};
  options.EverySample = true;
  auto lines = Lines(Table(*rec, options));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "42949.60000," + Value(sensors_->Revs, 1000));
  EXPECT_EQ(lines[2], "42949.72296," + Value(sensors_->Revs, 900));
}

// A time that falls by one tick (a damaged file) is out of order, not a wrap: the sample is held
// at its predecessor's time, and the column goes on following its history afterwards.
TEST_F(Csv, ATimeThatFallsByOneTickIsHeldAtTheTimeBeforeAndTheColumnGoesOn) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 100, {{1, {{1000, 1000}, {999, 900}, {3000, 800}, {5000, 700}}}}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs};
  options.EverySample = true;
  EXPECT_EQ(Lines(Table(*rec, options)),
            (std::vector<std::string>{"Time (s),Revs (rpm)", "0.01000," + Value(sensors_->Revs, 900),
                                      "0.03000," + Value(sensors_->Revs, 800), "0.05000," + Value(sensors_->Revs, 700)}));
  options.EverySample = false;
  options.RateHz = 100;
  const auto rows = Lines(Table(*rec, options));
  ASSERT_EQ(rows.size(), 12u);
  EXPECT_EQ(rows[2], "0.01000," + Value(sensors_->Revs, 900));
  EXPECT_EQ(rows[4], "0.03000," + Value(sensors_->Revs, 800));
  EXPECT_EQ(rows[6], "0.05000," + Value(sensors_->Revs, 700));
}

// At a rate that does not divide a second into ticks, a row holds its values at the tick its
// time is written with: at 60 Hz row 6301 is written 105.01667 and holds the sample of that tick.
TEST_F(Csv, ARowHoldsItsValuesAtTheTickItsTimeIsWrittenWith) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 106000, {{1, {{0, 1000}, {10501667, 900}}}}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs};
  options.RateHz = 60;
  options.From = 105;
  options.To = 105.02;
  options.Age = true;
  EXPECT_EQ(Lines(Table(*rec, options)),
            (std::vector<std::string>{"Time (s),Revs (rpm),Revs age (ms)", "105.00000," + Value(sensors_->Revs, 1000) + ",105000.00",
                                      "105.01667," + Value(sensors_->Revs, 900) + ",0.00"}));
}

TEST_F(Csv, ValuesAreTheTdfExportsValuesAlsoForSensorsThatReadOtherHistories) {
  // Speeds near 100 km/h (raw 100 and up) with revs that put the ratio in gear 1, in no gear's
  // band (the gear holds), in gear 2, no band, no band, gear 1: the gear depends on every sample
  // before it.
  auto revsFor = [&](double ratio, uint16_t speedRaw) {
    const double kmh = SpeedRawToKmh(speedRaw, ecu_->SpeedConstant);
    const double w = kmh * 0.27777777777777778 * 60 / config_->TyreRollingCircumference * config_->GearRatios[5];
    return RpmToPeriod(static_cast<int32_t>(ratio * w));
  };
  const std::vector<uint32_t> ticks = {0, 1000, 2000, 5000, 6000, 9000};
  const std::vector<double> ratios = {3, 5, 2, 5, 5, 3};
  std::vector<std::pair<uint32_t, uint16_t>> speed, revs, injector, idle;
  for (size_t i = 0; i < ticks.size(); ++i) {
    const auto speedRaw = static_cast<uint16_t>(100 + 2 * i);
    speed.push_back({ticks[i], speedRaw});
    revs.push_back({ticks[i], revsFor(ratios[i], speedRaw)});
    injector.push_back({ticks[i] + 500, static_cast<uint16_t>(3000 + 100 * i)});
    idle.push_back({ticks[i] + 700, static_cast<uint16_t>(2000 + 50 * i)});
  }
  TDisplayVar* gear = sensors_->Gear;
  std::unique_ptr<TRecording> rec(MakeRecording(
      "R", 100, {{static_cast<int32_t>(gear->Source.load()->Id.load()), speed}, {1, revs}, {15, injector}, {100, idle}}));
  ASSERT_EQ(TdfValues(*rec, gear), (std::vector<std::string>{"1.000000", "1.000000", "2.000000", "2.000000", "2.000000", "1.000000"}));

  // Every sample: each row where a sensor's sample falls shows that sample's .tdf value.
  TCsvOptions options;
  options.Sensors = {gear, sensors_->DutyCycle, sensors_->Acceleration, sensors_->FindDisplay(1047), sensors_->Revs};
  options.EverySample = true;
  auto lines = Lines(Table(*rec, options));
  for (size_t c = 0; c < options.Sensors.size(); ++c) {
    std::vector<std::string> tdf = TdfValues(*rec, options.Sensors[c]), shown;
    const TVarHist* h = rec->HistoryFor(*options.Sensors[c]->Source);
    for (int32_t i = 0; i < h->Count(); ++i)
      for (size_t row = 1; row < lines.size(); ++row)
        if (lines[row].substr(0, 7) == Fixed(h->TimeOf(i), 5)) shown.push_back(Split(lines[row], ',')[c + 1]);
    EXPECT_EQ(shown, tdf) << options.Sensors[c]->Name;
  }
  // Rows at 20 a second pass over samples 1, 2 and 4 without a row, yet the gear is the one the
  // .tdf file has for the sample in force.
  options.EverySample = false;
  options.RateHz = 20;
  options.Sensors = {gear};
  EXPECT_EQ(Lines(Table(*rec, options)), (std::vector<std::string>{"Time (s),Gear", "0.00000,1.000000", "0.05000,2.000000",
                                                                  "0.10000,1.000000"}));
}

TEST_F(Csv, FieldsAreRightWhateverTheRowsBeforeLeftInTheTextCaches) {
  // A sample every 10 ms and a row on each: revs whose raw values repeat, alternate between two
  // that share a cache place (0x0001 and 0x1000) and run through thousands of others; speeds whose
  // accelerations take hundreds of values, more than their cache has places.
  constexpr int n = 5000;
  std::vector<std::pair<uint32_t, uint16_t>> revs, speed;
  for (int i = 0; i < n; ++i) {
    const auto ticks = static_cast<uint32_t>(1000 * i);
    const uint16_t spread = static_cast<uint16_t>((i * 7919) | 1);
    revs.push_back({ticks, i % 4 == 0 ? uint16_t{0x0001} : i % 4 == 1 ? uint16_t{0x1000} : i % 4 == 2 ? spread : revs.back().second});
    speed.push_back({ticks, static_cast<uint16_t>(1 + (i * 13) % 250)});
  }
  TDisplayVar* accel = sensors_->Acceleration;
  std::unique_ptr<TRecording> rec(MakeRecording(
      "R", (n - 1) * 10, {{1, revs}, {static_cast<int32_t>(accel->Source.load()->Id.load()), speed}}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs, accel};
  options.RateHz = 100;
  const auto lines = Lines(Table(*rec, options));
  ASSERT_EQ(lines.size(), static_cast<size_t>(n + 1));
  const std::vector<std::string> tdfRevs = TdfValues(*rec, sensors_->Revs), tdfAccel = TdfValues(*rec, accel);
  for (int i = 0; i < n; ++i)
    ASSERT_EQ(lines[static_cast<size_t>(i + 1)], Fixed(i / 100.0, 5) + "," + tdfRevs[static_cast<size_t>(i)] + "," +
                                                     tdfAccel[static_cast<size_t>(i)])
        << "row " << i;
}

// Histories of several blocks with irregular gaps (from none to several samples between two
// rows) and the tick counter wrapping inside a block: each row holds the latest sample at or
// before its time, as a plain search over the unwrapped times finds it.
TEST_F(Csv, RowsHoldTheLatestSampleAcrossBlocksAndAWrap) {
  std::mt19937 rng(11);
  const auto samples = [&](uint32_t first, int n, uint32_t maxGap) {
    std::vector<std::pair<uint32_t, uint16_t>> s;
    uint32_t t = first;
    for (int i = 0; i < n; ++i, t += 1 + rng() % maxGap) s.push_back({t, static_cast<uint16_t>(rng() % 250)});
    return s;
  };
  // Revs wrap in their first block, MAP in its fourth.
  const auto revs = samples(4294000000u, 4000, 1500), map = samples(4294000003u, 12000, 400);
  std::unique_ptr<TRecording> rec(MakeRecording("R", 43000000, {{1, revs}, {9, map}}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs, sensors_->MAP};
  options.RateHz = 100;
  options.From = 42939.99;
  options.To = 42960;
  const auto lines = Lines(Table(*rec, options));
  // The text of the latest sample at or before ticks, by the unwrapped times.
  const auto held = [&](TDisplayVar* var, const std::vector<std::pair<uint32_t, uint16_t>>& s, uint64_t ticks) {
    std::string text;
    uint64_t unwrapped = s[0].first;
    for (size_t i = 0; i < s.size() && unwrapped <= ticks; ++i) {
      text = Value(var, s[i].second);
      if (i + 1 < s.size()) unwrapped += static_cast<uint32_t>(s[i + 1].first - s[i].first);
    }
    return text;
  };
  ASSERT_EQ(lines.size(), 2003u);  // the header and rows 4293999 .. 4296000
  for (size_t row = 1; row < lines.size(); ++row) {
    const uint64_t ticks = 4293999000u + (row - 1) * 1000;
    ASSERT_EQ(lines[row], Fixed(ticks / 100000.0, 5) + "," + held(sensors_->Revs, revs, ticks) + "," +
                              held(sensors_->MAP, map, ticks))
        << "row " << row;
  }
}

// A recording of another ECU family exported while the link polls is read with its own family's
// wiring (its speed constant), as the .tdf export reads it.
TEST_F(Csv, ARecordingOfAnotherFamilyIsReadWithItsOwnWiringWhileTheLinkPolls) {
  ecu_->SetModel(2);
  sensors_->ApplyEcuType(ecu_->Family);
  const auto speedId = static_cast<int32_t>(sensors_->RawSpeed->IdIn(FAMILY_ANY));
  std::unique_ptr<TRecording> rec(MakeRecording("R", 100, {{speedId, {{0, 10000}, {5000, 12000}}}}));
  rec->SetEcuModel(4, FamilyOfModel(4));
  core_.LinkPolling = true;
  TCsvOptions options;
  options.Sensors = {sensors_->Speed};
  options.EverySample = true;
  const auto lines = Lines(Table(*rec, options));
  const std::vector<std::string> tdf = TdfValues(*rec, sensors_->Speed);
  core_.LinkPolling = false;
  ASSERT_EQ(tdf.size(), 2u);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "0.00000," + tdf[0]);
  EXPECT_EQ(lines[2], "0.05000," + tdf[1]);
}

TEST_F(Csv, TheLiveGearIsLeftAsItWas) {
  auto* gear = static_cast<TGearVar*>(sensors_->Gear);
  gear->SetDefaultRange();
  // Live values in 4th gear's band, then between the bands: the live gear holds 4th.
  sensors_->RawSpeed->RawValue = 60;
  const double kmh = SpeedRawToKmh(60, gear->SpeedConstantIn(THistorySet()));
  uint16_t inFourth = 0, between = 0;
  for (uint16_t raw = 1; raw < 60000 && !(inFourth && between); ++raw) {
    const int band = gear->BandOf(kmh, PeriodToRpm(raw));
    if (band == 4 && !inFourth) inFourth = raw;
    if (band == 0 && inFourth && !between) between = raw;
  }
  ASSERT_TRUE(inFourth && between);
  sensors_->RawRevs->RawValue = inFourth;
  ASSERT_EQ(gear->GetValue(gear->Unit), 4);
  sensors_->RawRevs->RawValue = between;
  std::unique_ptr<TRecording> rec(MakeRecording("R", 100, {{static_cast<int32_t>(gear->Source.load()->Id.load()), {{0, 100}}}}));
  TCsvOptions options;
  options.Sensors = {gear};
  Table(*rec, options);
  EXPECT_EQ(gear->GetValue(gear->Unit), 4);
}

TEST_F(Csv, TheDefaultSensorsAreThoseWithSamplesInTheSensorListsOrder) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 100, {{6, {{0, 1}}}, {1, {{0, 1}}}, {4, {}}}));
  std::vector<TDisplayVar*> expected;
  for (int i = 0; i < sensors_->DisplayVars->Count(); ++i) {
    TDisplayVar* v = sensors_->Display(i);
    if (v->Source && (v->Source.load()->Id == 1 || v->Source.load()->Id == 6)) expected.push_back(v);
  }
  EXPECT_EQ(DefaultCsvSensors(*sensors_, *rec), expected);
  EXPECT_EQ(expected.front(), sensors_->Revs);
}

TEST_F(Csv, RowsComeOneAtATimeIntoTheSmallestBuffer) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 1000, {{1, {{0, 1000}}}}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs, sensors_->TPS};
  options.Age = true;
  TCsvExport table(*rec, options);
  std::vector<char> buffer(table.MaxRowBytes());
  // A buffer too small for a row is refused, never taken for the end of the rows.
  EXPECT_THROW(table.NextRows(buffer.data(), buffer.size() - 1), std::invalid_argument);
  EXPECT_FALSE(table.Finished());
  size_t n = table.NextRows(buffer.data(), buffer.size());
  EXPECT_EQ(std::string(buffer.data(), n), "0.00000," + Value(sensors_->Revs, 1000) + ",0.00,,\n");
  EXPECT_EQ(table.Rows(), 1);
  EXPECT_EQ(table.Values(), 5);
  EXPECT_NEAR(table.Done(), 0.0, 1e-12);
  int rows = 1;
  while (table.NextRows(buffer.data(), buffer.size()) > 0) ++rows;
  EXPECT_EQ(rows, 21);
  EXPECT_EQ(table.Done(), 1.0);
}

// Batches of rows cut off by the buffer anywhere, in columns of raw values, of values worked out
// from other histories, of the gear and of no history, with ages: the pieces make the same table.
TEST_F(Csv, ATableWrittenInSmallPiecesIsTheTableWrittenWhole) {
  std::vector<std::pair<uint32_t, uint16_t>> revs, speed;
  for (int i = 0; i < 3000; ++i) {
    revs.push_back({static_cast<uint32_t>(700 * i), static_cast<uint16_t>(2000 + (i * 37) % 900)});
    speed.push_back({static_cast<uint32_t>(1100 * i + 300), static_cast<uint16_t>(40 + (i * 11) % 80)});
  }
  TDisplayVar* gear = sensors_->Gear;
  std::unique_ptr<TRecording> rec(
      MakeRecording("R", 33000, {{1, revs}, {static_cast<int32_t>(gear->Source.load()->Id.load()), speed}}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs, gear, sensors_->Acceleration, sensors_->TPS, sensors_->FindDisplay(1047)};
  options.Age = true;
  options.RateHz = 100;
  const std::string whole = Table(*rec, options);
  ASSERT_GT(Lines(whole).size(), 3000u);
  for (const size_t extra : {size_t{0}, size_t{97}, size_t{1000}}) {
    TCsvExport table(*rec, options);
    std::vector<char> buffer(table.MaxRowBytes() + extra);
    std::string pieces = table.Header();
    for (size_t n; (n = table.NextRows(buffer.data(), buffer.size())) > 0;) pieces.append(buffer.data(), n);
    EXPECT_EQ(pieces, whole) << "buffer of " << buffer.size();
    EXPECT_EQ(table.Done(), 1.0);
  }
}

TEST_F(Csv, NumbersUseThePointWhateverTheLocale) {
  // A German locale, built for this test (the machine may have none installed).
  const std::string locales = dir_.File("locales");
  std::filesystem::create_directories(locales);
  if (std::system(("localedef -i de_DE -f UTF-8 '" + locales + "/de_DE.UTF-8' >/dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << "localedef cannot build de_DE.UTF-8";
  ::setenv("LOCPATH", locales.c_str(), 1);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  EXPECT_EQ(Printf(0.5, 1), "0,5");  // the locale is in force
  std::unique_ptr<TRecording> rec(MakeRecording("R", 100, {{1, {{0, 1000}}}}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs};
  options.Age = true;
  const std::string text = Table(*rec, options);
  std::setlocale(LC_ALL, "C");
  ::unsetenv("LOCPATH");
  EXPECT_EQ(Lines(text)[1], "0.00000,1875.000000,0.00");
}

TEST_F(Csv, AFileIsWrittenWholeOrNotAtAll) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 60000, {{1, {{0, 1000}, {3000000, 900}}}}));
  TCsvOptions options;
  options.Sensors = {sensors_->Revs};
  options.RateHz = 1000;
  const std::string path = dir_.File("out.csv");
  TCsvResult written = ExportCsvFile(*rec, options, path);
  ASSERT_TRUE(written.Ok) << written.Error;
  EXPECT_EQ(written.Rows, 60001);
  EXPECT_EQ(ReadFileBytes(path), Table(*rec, options));

  // Cancelled half way: the file stays as it was and nothing else is left in the folder.
  WriteFileBytes(path, "old");
  int asked = 0;
  TCsvResult cancelled = ExportCsvFile(*rec, options, path, [&](double done) {
    EXPECT_GT(done, 0.0);
    return ++asked < 2;
  });
  EXPECT_FALSE(cancelled.Ok);
  EXPECT_TRUE(cancelled.Cancelled);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(ReadFileBytes(path), "old");
  for (auto& e : std::filesystem::directory_iterator(dir_.Path()))
    EXPECT_TRUE(e.path().filename() == "out.csv" || e.path().extension() == ".ini") << e.path();

  // A folder that is not there: the reason, and no file.
  TCsvResult failed = ExportCsvFile(*rec, options, dir_.File("missing/out.csv"));
  EXPECT_FALSE(failed.Ok);
  EXPECT_FALSE(failed.Cancelled);
  EXPECT_EQ(failed.Error, "cannot create a temporary file: No such file or directory");
}

}  // namespace
