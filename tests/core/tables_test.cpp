// Tables of observations: cell edges, filter conditions, sample and hold with a maximum age, the
// cells against a brute-force count, the text, the stored choices and the live filling.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include "TableRecordings.h"
#include "TestSupport.h"
#include "analysis/AxisEdges.h"
#include "analysis/Condition.h"
#include "analysis/Table.h"
#include "analysis/TableSpec.h"
#include "analysis/TableTracker.h"
#include "base/IniFile.h"
#include "rules/TableLayout.h"

namespace {

TAxisEdges Edges(const std::string& text) {
  TAxisEdges e;
  std::string error;
  EXPECT_TRUE(ParseAxisEdges(text, e, &error)) << text << ": " << error;
  return e;
}

// ---------------------------------------------------------------------------------------------
// Edges

TEST(AxisEdges, RangesAreComputedByMultiplicationFromTheDecimalsAsWritten) {
  EXPECT_EQ(Edges("500:8000:500").Values().size(), 16u);
  EXPECT_EQ(Edges("500:8000:500").Last(), 8000);
  const TAxisEdges tenths = Edges("0:1:0.1");
  ASSERT_EQ(tenths.Values().size(), 11u);
  // Adding 0.1 three times gives 0.30000000000000004; the edge is the decimal 0.3.
  EXPECT_EQ(tenths.Values()[3], 0.3);
  EXPECT_EQ(tenths.Values()[7], 0.7);
  EXPECT_EQ(tenths.Last(), 1.0);
  // The end is taken only when a step lands on it.
  EXPECT_EQ(Edges("0:1:0.3").Values(), (std::vector<double>{0, 0.3, 0.6, 0.9}));
  EXPECT_EQ(Edges(" -1.5 : 1 : 0.25 ").Values().front(), -1.5);
  EXPECT_EQ(Edges("-1.5:1:0.25").Values().back(), 1.0);
  EXPECT_EQ(Edges("1e3:3e3:1e3").Values(), (std::vector<double>{1000, 2000, 3000}));
  EXPECT_EQ(Edges("0, 0.5,1.25 ,4").Values(), (std::vector<double>{0, 0.5, 1.25, 4}));
}

TEST(AxisEdges, BadEdgesAreRefusedWithTheirReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"0:1000:0", "the step is zero"},
      {"0:1000:-100", "negative"},
      {"1000:0:100", "below the start"},
      {"0:50:100", "passes the end"},
      {"0:1:x", "'x' is not a number"},
      {"0:1", "not START:END:STEP"},
      {"1,2,2,3", "do not rise: 2 follows 2"},
      {"3,2", "do not rise"},
      {"5", "at least two edges"},
      {"", "no edges"},
      {"1,,2", "'' is not a number"},
      {"0:2000:1", "2000 cells are too many"},
      {"nan,1", "not a number"},
  };
  for (const auto& [text, reason] : cases) {
    TAxisEdges e = Edges("0:1:1");
    std::string error;
    EXPECT_FALSE(ParseAxisEdges(text, e, &error)) << text;
    EXPECT_NE(error.find(reason), std::string::npos) << text << " gave: " << error;
    EXPECT_EQ(e.Values(), (std::vector<double>{0, 1})) << "left as it was";
  }
}

TEST(AxisEdges, ValuesFallInTheCellWhoseLowerEdgeTheyReach) {
  const TAxisEdges e = Edges("500:2000:500");
  EXPECT_EQ(e.CellOf(499.999), -1);
  EXPECT_EQ(e.CellOf(500), 0);
  EXPECT_EQ(e.CellOf(999.999), 0);
  EXPECT_EQ(e.CellOf(1000), 1);
  EXPECT_EQ(e.CellOf(1999.999), 2);
  EXPECT_EQ(e.CellOf(2000), -1);  // the last edge closes the axis
  EXPECT_EQ(e.CellOf(std::nan("")), -1);
  EXPECT_EQ(Edges("0:1:0.1").CellOf(0.3), 3);
  EXPECT_EQ(Edges("0:1:0.1").CellOf(0.29999999999999999), 3);  // the same double as 0.3
  EXPECT_EQ(Edges("0:1:0.1").CellOf(0.2999999999999999), 2);
  // Uneven edges.
  const TAxisEdges uneven = Edges("0,1,10,11,100");
  const std::pair<double, int> cells[] = {{0.5, 0},  {1, 1},  {9.99, 1}, {10, 2},
                                          {10.5, 2}, {11, 3}, {99.9, 3}, {100, -1}};
  for (const auto& [v, cell] : cells) EXPECT_EQ(uneven.CellOf(v), cell) << v;
}

TEST(AxisEdges, EdgesPrintInTheirShortestExactForm) {
  EXPECT_EQ(FormatEdge(500), "500");
  EXPECT_EQ(FormatEdge(0.1), "0.1");
  EXPECT_EQ(FormatEdge(-2.5), "-2.5");
  EXPECT_EQ(FormatEdge(0), "0");
  EXPECT_EQ(FormatEdge(-0.0), "0");
  EXPECT_EQ(FormatEdge(1e20), "100000000000000000000");
  EXPECT_EQ(FormatEdge(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(EdgesListText(Edges("0:1:0.25")), "0,0.25,0.5,0.75,1");
  EXPECT_EQ(RoundStep(1.78, 10), 0.2);
  EXPECT_EQ(RoundStep(100, 10), 10);
  EXPECT_EQ(RoundStep(23, 10), 2.5);
}

class Tables : public CatalogueTest {
 protected:
  TRecording& Recording(const std::map<int32_t, TSamples>& histories) {
    auto* rec = new TRecording(*sensors_->RawVars);
    AddHistories(*rec, histories);
    recordings_.Add(rec);
    SetCurrentRecording(core_, rec);
    return *rec;
  }
};

TEST_F(Tables, SensorsStartWithEdgesOfTheirOwn) {
  EXPECT_EQ(DefaultEdgesText(*sensors_->Revs), "500:8000:500");
  // MAP in bar, from 0 to what a 1-bar and a 3-bar sensor read at the top of their range.
  EXPECT_EQ(DefaultEdgesText(*sensors_->MAP), "0:2:0.2");
  ecu_->SetMapIs3Bar(1);
  EXPECT_EQ(DefaultEdgesText(*sensors_->MAP), "0:3:0.3");
  EXPECT_EQ(DefaultEdgesText(*sensors_->TPS), "0:100:10");
  EXPECT_EQ(DefaultEdgesText(*sensors_->FindDisplay(1014)), "0:2:1");  // Brakes: off, on
  EXPECT_EQ(DefaultEdges(*sensors_, 1007).Cells(), 10);
}

// ---------------------------------------------------------------------------------------------
// Conditions

TEST_F(Tables, ConditionsNameASensorAnOperatorAndANumber) {
  TCondition c;
  ASSERT_TRUE(ParseCondition("Water Temp > 70", *sensors_, c));
  EXPECT_EQ(c, (TCondition{1003, TCompare::Greater, 70}));
  ASSERT_TRUE(ParseCondition("  water temp>=-5.5", *sensors_, c));
  EXPECT_EQ(c, (TCondition{1003, TCompare::GreaterEqual, -5.5}));
  ASSERT_TRUE(ParseCondition("1008 != 0", *sensors_, c));
  EXPECT_EQ(c, (TCondition{1008, TCompare::NotEqual, 0}));
  ASSERT_TRUE(ParseCondition("A/C Switch == 1", *sensors_, c));
  EXPECT_EQ(c.Op, TCompare::Equal);

  const std::pair<const char*, const char*> bad[] = {
      {"Water Temp 70", "is not NAME OP VALUE"},
      {"Oil Temp > 70", "unknown sensor 'Oil Temp'"},
      {"> 70", "names no sensor"},
      {"Revs > fast", "'fast' is not a number"},
      {"Revs >", "'' is not a number"},
      {"Revs ! 3", "'!' must be followed by '='"},
  };
  for (const auto& [text, reason] : bad) {
    std::string error;
    EXPECT_FALSE(ParseCondition(text, *sensors_, c, &error)) << text;
    EXPECT_NE(error.find(reason), std::string::npos) << text << " gave: " << error;
  }
}

TEST_F(Tables, EachOperatorComparesAsWritten) {
  const struct {
    TCompare op;
    bool below, at, above;
  } table[] = {
      {TCompare::Less, true, false, false},    {TCompare::LessEqual, true, true, false},
      {TCompare::Greater, false, false, true}, {TCompare::GreaterEqual, false, true, true},
      {TCompare::Equal, false, true, false},   {TCompare::NotEqual, true, false, true},
  };
  for (const auto& row : table) {
    const TCondition c{1003, row.op, 70};
    EXPECT_EQ(c.Holds(69.9), row.below) << CompareText(row.op);
    EXPECT_EQ(c.Holds(70), row.at) << CompareText(row.op);
    EXPECT_EQ(c.Holds(70.1), row.above) << CompareText(row.op);
  }
}

TEST_F(Tables, ConditionsAreKeptByIdAndShownByName) {
  std::vector<TCondition> list;
  std::string error;
  ASSERT_TRUE(ParseConditions("Water Temp > 70; ; TPS <= 12.5", *sensors_, list, &error));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(StoredConditions(list), "1003 > 70;1002 <= 12.5");
  EXPECT_EQ(ConditionsText(list, *sensors_), "Water Temp > 70; TPS <= 12.5");
  EXPECT_EQ(LoadConditions("1003 > 70;99999 < 1;junk;1002 <= 12.5", *sensors_), list);
  EXPECT_FALSE(ParseConditions("Water Temp > 70; Revs ~ 3", *sensors_, list, &error));
  EXPECT_EQ(list.size(), 2u);
}

// ---------------------------------------------------------------------------------------------
// Observations against a brute-force count

struct TBruteCell {
  uint32_t count = 0;
  double sum = 0, min = INFINITY, max = -INFINITY;
};

// Every sample of Z; each other sensor's latest sample at or before it found by a plain scan.
std::vector<TBruteCell> BruteForce(const TSensorList& sensors, const TRecording& rec, const TTableSpec& spec,
                                   TTableCounts& counts) {
  auto history = [&](uint32_t id) { return rec.HistoryFor(*sensors.FindDisplay(id)->Source.load()); };
  auto value = [&](uint32_t id, uint16_t raw) {
    TDisplayVar* v = sensors.FindDisplay(id);
    return v->Convert(v->Unit, raw);
  };
  auto cellOf = [](const TAxisEdges& e, double v) {
    for (size_t i = 0; i + 1 < e.Values().size(); ++i)
      if (e.Values()[i] <= v && v < e.Values()[i + 1]) return static_cast<int>(i);
    return -1;
  };
  std::vector<uint32_t> held = {spec.X, spec.Y};
  for (const TCondition& c : spec.Filters) held.push_back(c.VarId);
  std::vector<TBruteCell> cells(static_cast<size_t>(spec.XEdges.Cells() * spec.YEdges.Cells()));
  const TVarHist* z = history(spec.Z);
  const std::vector<int64_t> zTimes = ExpectedTimes(*z);
  std::vector<std::vector<int64_t>> heldTimes;
  for (uint32_t id : held) heldTimes.push_back(ExpectedTimes(*history(id)));
  counts = {};
  for (int32_t i = 0; i < z->Count(); ++i) {
    ++counts.Samples;
    const int64_t t = zTimes[static_cast<size_t>(i)];
    std::vector<double> values;
    bool none = false, old = false;
    for (size_t k = 0; k < held.size(); ++k) {
      const TVarHist* h = history(held[k]);
      int32_t found = -1;
      for (int32_t j = 0; j < h->Count(); ++j)
        if (heldTimes[k][static_cast<size_t>(j)] <= t) found = j;
      if (found < 0) {
        none = true;
        continue;
      }
      if (t - heldTimes[k][static_cast<size_t>(found)] > int64_t{spec.MaxAgeMs} * 100) old = true;
      values.push_back(value(held[k], h->RawOf(found)));
    }
    if (none) {
      ++counts.NoSample;
      continue;
    }
    if (old) {
      ++counts.TooOld;
      continue;
    }
    bool pass = true;
    for (size_t c = 0; c < spec.Filters.size(); ++c) pass = pass && spec.Filters[c].Holds(values[2 + c]);
    if (!pass) {
      ++counts.Filtered;
      continue;
    }
    const int cx = cellOf(spec.XEdges, values[0]), cy = cellOf(spec.YEdges, values[1]);
    if (cx < 0 || cy < 0) {
      ++counts.Outside;
      continue;
    }
    ++counts.Counted;
    TBruteCell& cell = cells[static_cast<size_t>(cy * spec.XEdges.Cells() + cx)];
    const double zv = value(spec.Z, z->RawOf(i));
    ++cell.count;
    cell.sum += zv;
    cell.min = std::min(cell.min, zv);
    cell.max = std::max(cell.max, zv);
  }
  return cells;
}

void ExpectSameAsBruteForce(const TSensorList& sensors, const TRecording& rec, const TTableSpec& spec,
                            const TTable& table) {
  TTableCounts counts;
  const std::vector<TBruteCell> cells = BruteForce(sensors, rec, spec, counts);
  EXPECT_EQ(table.Counts(), counts);
  for (int cy = 0; cy < table.Rows(); ++cy)
    for (int cx = 0; cx < table.Columns(); ++cx) {
      const TBruteCell& b = cells[static_cast<size_t>(cy * table.Columns() + cx)];
      const TCellStats& c = table.Cell(cx, cy);
      ASSERT_EQ(c.Count, b.count) << cx << "," << cy;
      if (!b.count) continue;
      EXPECT_EQ(c.Sum, b.sum);
      EXPECT_EQ(c.Min, b.min);
      EXPECT_EQ(c.Max, b.max);
    }
}

// Revs across, the first error byte (its value is its raw value) down, O2 A volts in the cells.
TTableSpec RevsByErrorByte(const std::string& xEdges, const std::string& yEdges, uint32_t maxAgeMs = DefaultMaxAgeMs) {
  TTableSpec spec;
  spec.X = 1008;
  spec.Y = 1040;
  spec.Z = 1000;  // raw x 5 / 256
  spec.XEdges = Edges(xEdges);
  spec.YEdges = Edges(yEdges);
  spec.MaxAgeMs = maxAgeMs;
  return spec;
}

TTableSpec RandomSpec(const TSensorList& sensors) {
  TTableSpec spec;
  spec.X = 1008;  // revs
  spec.Y = 1007;  // MAP
  spec.Z = 1131;  // lambda
  spec.XEdges = Edges("1000:7000:500");
  spec.YEdges = Edges("0,0.3,0.55,0.9,1.2");
  std::vector<TCondition> filters;
  EXPECT_TRUE(ParseConditions("Water Temp > 40; Revs >= 1500", sensors, filters));
  spec.Filters = filters;
  spec.MaxAgeMs = 120;
  return spec;
}

TEST_F(Tables, CellsMatchABruteForceCountOnRandomRecordings) {
  for (uint32_t seed : {1u, 2u, 3u, 4u}) {
    std::mt19937 rng(seed);
    // Rates, gaps and staleness differ per sensor; raw ranges cross every edge.
    TSamples water = RandomSamples(rng, 400, 20000, 0, 60, 200);
    for (auto& sample : water) sample.first += 50000;  // polled first after half a second
    TRecording& rec = Recording({{1, RandomSamples(rng, 3000, 5000, 40000, 240, 2000)},
                                 {9, RandomSamples(rng, 2500, 6000, 30000, 0, 255)},
                                 {2, RandomSamples(rng, 2000, 8000, 20000, 0, 255)},
                                 {4, water}});
    const TTableSpec spec = RandomSpec(*sensors_);
    const TTable table = BuildTable(*sensors_, rec, spec);
    ExpectSameAsBruteForce(*sensors_, rec, spec, table);
    // Every kind of sample turns up.
    EXPECT_GT(table.Counts().Counted, 100);
    EXPECT_GT(table.Counts().Outside, 0);
    EXPECT_GT(table.Counts().TooOld, 0);
    EXPECT_GT(table.Counts().Filtered, 0);
    EXPECT_GT(table.Counts().NoSample, 0);
  }
}

// Without filters the walk takes X and Y by index through their blocks and values by raw value:
// the same figures, across block ends, raw values past 255 and a Z whose times fall back.
TEST_F(Tables, WithoutFiltersCellsMatchABruteForceCountAcrossBlocksAndFallingTimes) {
  for (uint32_t seed : {5u, 6u, 7u}) {
    std::mt19937 rng(seed);
    TSamples z = RandomSamples(rng, 4000, 5000, 20000, 0, 255);
    if (seed == 7) std::swap(z[1500], z[2900]);  // two times out of order
    TSamples revs = RandomSamples(rng, 4000, 5000, 40000, 240, 2000);
    for (auto& sample : revs) sample.first += 50000;  // polled first after half a second
    TRecording& rec = Recording({{1, revs},
                                 {9, RandomSamples(rng, 3500, 6000, 30000, 0, 255)},
                                 {2, z}});
    TTableSpec spec = RandomSpec(*sensors_);
    spec.Filters.clear();
    const TTable table = BuildTable(*sensors_, rec, spec);
    ExpectSameAsBruteForce(*sensors_, rec, spec, table);
    EXPECT_GT(table.Counts().Counted, 1000);
    EXPECT_GT(table.Counts().Outside, 0);
    EXPECT_GT(table.Counts().TooOld, 0);
    EXPECT_GT(table.Counts().NoSample, 0);
    // The page's walk (with X and Y) files the same.
    TTableTracker tracker(*sensors_);
    tracker.SetSpec(spec);
    tracker.FollowRecording(&rec);
    tracker.Update();
    ExpectSameAsBruteForce(*sensors_, rec, spec, tracker.Table());
  }
}

// Where no two neighbouring samples of a block of X or Y lie more than the maximum age and a tick
// apart, the walk does not look at ages there: the figures stay the same on both sides of that
// bound, with a block just within it, one just past it and ages of exactly the maximum.
TEST_F(Tables, AgesCountTheSameInBlocksWithAndWithoutWideSteps) {
  const int32_t n = TVarHist::BlockSamples;
  TSamples revs, errors, z;
  // Revs every 25001 ticks: a held sample is at most 250 ms old. The error byte too, but in its
  // second block every fifth step is 25002 ticks, so some samples held there are 250.01 ms old.
  for (int32_t i = 0; i < 3 * n; ++i) revs.push_back({static_cast<uint32_t>(i) * 25001, static_cast<uint16_t>(300 + i % 900)});
  uint32_t t = 0;
  for (int32_t i = 0; i < 3 * n; ++i) {
    errors.push_back({t, static_cast<uint16_t>(10 + i % 17)});
    t += i >= n && i < 2 * n && i % 5 == 0 ? 25002 : 25001;
  }
  // Z just before each error sample, so its held one is one step old.
  for (size_t i = 1; i < errors.size(); ++i) z.push_back({errors[i].first - 1, static_cast<uint16_t>(i % 256)});
  TRecording& rec = Recording({{1, revs}, {40, errors}, {2, z}});
  const TTableSpec spec = RevsByErrorByte("1000:8000:500", "10:30:5", 250);
  const TTable table = BuildTable(*sensors_, rec, spec);
  ExpectSameAsBruteForce(*sensors_, rec, spec, table);
  EXPECT_GT(table.Counts().TooOld, n / 10);
  EXPECT_GT(table.Counts().Counted, 2 * n);
}

TEST_F(Tables, HeldValuesCountUpToTheirMaximumAgeAndExactEdgesOpenTheirCell) {
  // Revs 500 (period 3750), 1000 (1875), 1500 (1250) rpm; error byte as Y: its value is its raw.
  TRecording& rec = Recording({
      {1, {{1000, 3750}, {50000, 1875}, {90000, 1250}}},
      {40, {{0, 10}, {60000, 20}}},
      {2, {{500, 51}, {1000, 52}, {25000, 53}, {26001, 54}, {60000, 55}, {90000, 56}, {150000, 57}}},
  });
  TTableSpec spec = RevsByErrorByte("500:2000:500", "10:30:10", 250);
  const TTable t = BuildTable(*sensors_, rec, spec);
  // 500: no revs yet. 1000: revs 500 at the same tick. 25000: revs 240 ms old, Y exactly 250 ms
  // old: both held. 26001: revs 250.01 ms old, too old. 60000: revs 1000 (100 ms old) and Y 20 at
  // the same tick. 90000: revs 1500 at the same tick, Y 20 held 300 ms: too old. 150000: too old.
  EXPECT_EQ(t.Counts(), (TTableCounts{7, 3, 0, 1, 3, 0}));
  EXPECT_EQ(t.Cell(0, 0).Count, 2u);
  EXPECT_EQ(t.Cell(0, 0).Min, 52 * 5 / 256.0);
  EXPECT_EQ(t.Cell(0, 0).Max, 53 * 5 / 256.0);
  EXPECT_EQ(t.Cell(1, 1).Count, 1u);
  EXPECT_EQ(t.Cell(1, 1).Mean(), 55 * 5 / 256.0);
  ExpectSameAsBruteForce(*sensors_, rec, spec, t);

  spec.MaxAgeMs = 1000;
  const TTable longer = BuildTable(*sensors_, rec, spec);
  EXPECT_EQ(longer.Counts(), (TTableCounts{7, 6, 0, 1, 0, 0}));
  EXPECT_EQ(longer.Cell(2, 1).Count, 2u);  // 1500 rpm with Y 20, at 90000 and 150000
}

TEST_F(Tables, TheTextListsRowsFromTheHighestYWithEdgesAndValues) {
  TRecording& rec = Recording({{1, {{0, 3750}, {10, 1875}}}, {40, {{0, 10}}}, {2, {{5, 51}, {6, 52}, {20, 100}}}});
  TTableSpec spec = RevsByErrorByte("500:1500:500", "0,10,20.5");
  const TTable t = BuildTable(*sensors_, rec, spec);
  TTableTextOptions o;
  o.XName = "Revs";
  o.YName = "Error codes #1";
  EXPECT_EQ(TableText(t, o), "Error codes #1 \\ Revs,500,1000\n10,1.00585938,1.95312500\n0,,\n");
  o.Stat = TTableStat::Count;
  o.Separator = '\t';
  EXPECT_EQ(TableText(t, o), "Error codes #1 \\ Revs\t500\t1000\n10\t2\t1\n0\t\t\n");
  o.MinCount = 2;
  EXPECT_EQ(TableText(t, o), "Error codes #1 \\ Revs\t500\t1000\n10\t2\t\n0\t\t\n");
  o.Stat = TTableStat::Max;
  o.Separator = ',';
  o.YName = "a,\"b\"";
  const std::string text = TableText(t, o);
  EXPECT_EQ(text.substr(0, text.find('\n')), "\"a,\"\"b\"\" \\ Revs\",500,1000");
}

// ---------------------------------------------------------------------------------------------
// Following a source

TEST_F(Tables, ALiveTableFillsWhileThePollThreadAppendsAndEndsAsTheWholeRecording) {
  std::mt19937 rng(11);
  const std::map<int32_t, TSamples> runs = {{1, RandomSamples(rng, 3000, 5000, 40000, 240, 2000)},
                                            {9, RandomSamples(rng, 2500, 6000, 30000, 0, 255)},
                                            {2, RandomSamples(rng, 2000, 8000, 20000, 0, 255)},
                                            {4, RandomSamples(rng, 400, 20000, 0, 60, 200)}};
  // One line of samples in time order, as the poll thread takes them (no two at one tick).
  struct TTaken {
    uint32_t t;
    int32_t id;
    uint16_t raw;
  };
  std::vector<TTaken> line;
  int k = 0;
  for (const auto& [id, samples] : runs) {
    for (const auto& [t, raw] : samples) line.push_back({t * 4 + static_cast<uint32_t>(k), id, raw});
    ++k;
  }
  std::sort(line.begin(), line.end(), [](const TTaken& a, const TTaken& b) { return a.t < b.t; });
  TRecording& rec = Recording({{1, {}}, {9, {}}, {2, {}}, {4, {}}});
  TTableSpec spec = RandomSpec(*sensors_);
  spec.MaxAgeMs = 480;

  TTableTracker tracker(*sensors_);
  tracker.SetSpec(spec);
  tracker.FollowRecording(&rec);
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::thread poll([&] {
    for (size_t i = 0; i < line.size(); ++i) {
      rec.HistoryById(line[i].id)->Append(line[i].t, line[i].raw);
      // Every 500 samples, on only once the table has been read again.
      if (i % 500 == 499)
        for (const int seen = reads; reads == seen;) std::this_thread::yield();
    }
    done = true;
  });
  int growing = 0;
  while (!done) {
    growing += tracker.Update() ? 1 : 0;
    ++reads;
  }
  poll.join();
  tracker.Update();
  EXPECT_GT(growing, 1);
  ExpectSameAsBruteForce(*sensors_, rec, spec, tracker.Table());
  EXPECT_EQ(static_cast<int64_t>(tracker.Points().size()), tracker.Table().Counts().Counted);
  // The same recording again goes on; another table starts over.
  tracker.FollowRecording(&rec);
  EXPECT_FALSE(tracker.Update());
  spec.Filters.clear();
  tracker.SetSpec(spec);
  EXPECT_TRUE(tracker.Update());
  ExpectSameAsBruteForce(*sensors_, rec, spec, tracker.Table());
}

// 12.5 hours at 500 rpm until the tick counter wraps at 11.93 hours, at 1500 rpm after: every
// sample of Z after the wrap is filed under 1500 rpm, walked whole or as it arrives, and the
// table equals the brute-force count over the times worked out independently.
TEST_F(Tables, ARecordingAcrossTheTickCountersWrapFilesEachSampleAtItsTrueTime) {
  const int64_t wrap = int64_t{1} << 32, end = int64_t{45000} * 100000;
  TSamples revs, errors, o2;
  for (int64_t t = 0; t < end; t += 2000000) revs.push_back({static_cast<uint32_t>(t), static_cast<uint16_t>(t < wrap ? 3750 : 1250)});
  for (int64_t t = 1000; t < end; t += 2000000) errors.push_back({static_cast<uint32_t>(t), 15});
  for (int64_t t = 3000; t < end; t += 500000) o2.push_back({static_cast<uint32_t>(t), 100});
  TRecording& rec = Recording({{1, revs}, {40, errors}, {2, o2}});
  const TTableSpec spec = RevsByErrorByte("500:2000:500", "10:30:10", 25000);
  const TTable whole = BuildTable(*sensors_, rec, spec);
  ExpectSameAsBruteForce(*sensors_, rec, spec, whole);
  // Samples of Z whose revs are held from before the wrap.
  int64_t before = 0;
  for (int64_t t = 3000; t < end; t += 500000) before += t / 2000000 * 2000000 < wrap;
  EXPECT_EQ(whole.Cell(0, 0).Count, static_cast<uint32_t>(before));
  EXPECT_EQ(whole.Cell(2, 0).Count, static_cast<uint32_t>(o2.size() - before));
  EXPECT_EQ(whole.Counts().Counted, static_cast<int64_t>(o2.size()));
  TTableTracker tracker(*sensors_);
  tracker.SetSpec(spec);
  tracker.FollowRecording(&rec);
  tracker.Update();
  EXPECT_EQ(tracker.Table().Cell(2, 0).Count, whole.Cell(2, 0).Count);
}

// The counter wrapping just where a block of Z begins and a block of X and of Y begins a little
// later: the walk that compares times as stored must not compare them across the wrap.
TEST_F(Tables, WrapsOnBlockBoundariesAreWalkedAtTheirTrueTimes) {
  const int64_t end = int64_t{45000} * 100000;
  TSamples revs, errors, o2;
  // X and Y every 15.9 s, their 2700th sample (a block's first) the first after the wrap, their
  // 2699th after Z's last before it; revs 1500 rpm from the 2699th on, 500 before.
  constexpr int64_t kHeld = 1590729, kZ = 530243;  // Z's 8100th sample is the first after the wrap
  for (int64_t k = 0; k * kHeld + 1200000 < end; ++k) {
    revs.push_back({static_cast<uint32_t>(k * kHeld + 1200000), static_cast<uint16_t>(k < 2699 ? 3750 : 1250)});
    errors.push_back({static_cast<uint32_t>(k * kHeld + 1200100), 15});
  }
  for (int64_t k = 0; k * kZ < end; ++k) o2.push_back({static_cast<uint32_t>(k * kZ), 100});
  TRecording& rec = Recording({{1, revs}, {40, errors}, {2, o2}});
  const TTableSpec spec = RevsByErrorByte("500:2000:500", "10:30:10", 25000);
  const TTable whole = BuildTable(*sensors_, rec, spec);
  ExpectSameAsBruteForce(*sensors_, rec, spec, whole);
  EXPECT_EQ(whole.Cell(2, 0).Count, static_cast<uint32_t>(o2.size() - 8100));
}

// A maximum age whose ticks need more than 32 bits (the tool takes up to a day) still counts a
// sample a second old.
TEST_F(Tables, AMaximumAgeBeyond32BitsOfTicksCountsOldSamples) {
  TRecording& rec = Recording({{1, {{0, 3750}}}, {40, {{0, 15}}}, {2, {{100000, 1}, {200000, 2}}}});
  for (uint32_t ms : {42949672u, 42949673u, 86400000u}) {
    const TTable table = BuildTable(*sensors_, rec, RevsByErrorByte("500:2000:500", "10:30:10", ms));
    EXPECT_EQ(table.Counts().Counted, 2) << ms;
  }
}

// A live table fed at 20 Hz for 10 s and looked at once at the end takes every sample.
TEST_F(Tables, ALiveTableTakesEverySampleReadSinceItLastLooked) {
  TTableSpec spec = RevsByErrorByte("500:2000:500", "10:30:10");
  TSampleFeed feed;
  TTableTracker tracker(*sensors_);
  tracker.SetSpec(spec);
  tracker.FollowLive(&feed);
  for (uint32_t k = 0; k < 200; ++k) {
    feed.Push(1, k * 5000, 1875);
    feed.Push(40, k * 5000 + 100, 15);
    feed.Push(2, k * 5000 + 200, static_cast<uint16_t>(k));
  }
  EXPECT_TRUE(tracker.Update());
  EXPECT_EQ(tracker.Table().Counts().Samples, 200);
  EXPECT_EQ(tracker.Table().Cell(1, 0).Count, 200u);
  EXPECT_EQ(tracker.LostLive(), 0u);
}

TEST_F(Tables, WhileConnectedWithoutRecordingTheLatestValuesAreObserved) {
  TTableSpec spec = RevsByErrorByte("500:2000:500", "10:30:10");
  ASSERT_TRUE(ParseConditions("Error codes #2 = 0", *sensors_, spec.Filters));
  TRawVar* revs = sensors_->FindRaw(1);
  TRawVar* y = sensors_->FindRaw(40);
  TRawVar* z = sensors_->FindRaw(2);
  TRawVar* filter = sensors_->FindRaw(41);
  TSampleFeed feed;
  auto poll = [&feed](TRawVar* v, uint16_t raw, uint32_t t) {
    v->RawValue = raw;
    feed.Push(v->Id, t, raw);
  };
  poll(z, 50, 5);  // before following: not taken
  TTableTracker tracker(*sensors_);
  tracker.SetSpec(spec);
  tracker.FollowLive(&feed);
  EXPECT_EQ(tracker.Source(), TTableSource::Live);
  poll(z, 51, 10);
  EXPECT_TRUE(tracker.Update());  // the others not polled since: no sample
  EXPECT_EQ(tracker.Table().Counts().NoSample, 1);
  poll(revs, 1875, 100);
  poll(y, 25, 150);
  poll(filter, 0, 160);
  poll(z, 52, 200);
  EXPECT_TRUE(tracker.Update());
  EXPECT_FALSE(tracker.Update());  // nothing new from Z
  EXPECT_EQ(tracker.Table().Cell(1, 1).Count, 1u);
  EXPECT_EQ(tracker.NewestCell(), 1 * 3 + 1);
  poll(z, 53, 25200);  // the others 250.5 ms old at most... revs 251 ms
  tracker.Update();
  EXPECT_EQ(tracker.Table().Counts().TooOld, 1);
  poll(filter, 1, 25300);
  poll(revs, 1875, 25300);
  poll(y, 25, 25300);
  poll(z, 54, 25400);
  tracker.Update();
  EXPECT_EQ(tracker.Table().Counts(), (TTableCounts{4, 1, 0, 1, 1, 1}));
  EXPECT_EQ(tracker.Points().size(), 1u);
  EXPECT_EQ(tracker.Points()[0].Z, static_cast<float>(52 * 5 / 256.0));
}

TEST_F(Tables, ClicksOnACellVisitItsStretchesInTurn) {
  // Cells by sample of Z: A A B A A A (too old) A, where A is 500 rpm and B 1000 rpm.
  TRecording& rec =
      Recording({{1, {{0, 3750}, {150, 1875}, {250, 3750}, {5000, 3750}, {40500, 3750}}},
                 {40, {{0, 10}, {40500, 10}}},
                 {2, {{100, 1}, {110, 2}, {200, 3}, {300, 4}, {310, 5}, {320, 6}, {40000, 7}, {41000, 8}}}});
  TTableSpec spec = RevsByErrorByte("500:1500:500", "10:20:10", 100);
  TTableTracker tracker(*sensors_);
  tracker.SetSpec(spec);
  tracker.FollowRecording(&rec);
  tracker.Update();
  const int a = 0, b = 1;
  EXPECT_EQ(tracker.NextStretch(a, std::nullopt), 100u);
  EXPECT_EQ(tracker.NextStretch(a, 100u), 300u);
  // A sample that does not count ends a stretch.
  EXPECT_EQ(tracker.NextStretch(a, 300u), 41000u);
  EXPECT_EQ(tracker.NextStretch(a, 41000u), 100u);  // round again
  EXPECT_EQ(tracker.NextStretch(b, std::nullopt), 200u);
  EXPECT_EQ(tracker.NextStretch(b, 200u), 200u);  // the only one, again
  TRecording& empty = Recording({{1, {}}, {40, {}}, {2, {}}});
  tracker.FollowRecording(&empty);
  EXPECT_EQ(tracker.NextStretch(a, std::nullopt), std::nullopt);
  // The cell under the cursor: the observation at a time.
  tracker.FollowRecording(&rec);
  EXPECT_EQ(tracker.CellAt(205), b);
  EXPECT_EQ(tracker.CellAt(305), a);
  EXPECT_EQ(tracker.CellAt(50), -1);
  EXPECT_EQ(tracker.CellAt(40500), -1);
}

// ---------------------------------------------------------------------------------------------
// Stored choices

TEST_F(Tables, ChoicesRoundTripThroughTheIniFileAndBadOnesFallBack) {
  TTableChoices c = LoadTableChoices(*config_, *sensors_);
  EXPECT_EQ(c.Spec.X, 1008u);
  EXPECT_EQ(c.Spec.Y, 1007u);
  EXPECT_EQ(c.Spec.Z, 1131u);
  EXPECT_EQ(c.Spec.XEdges, Edges("500:8000:500"));
  EXPECT_EQ(c.Spec.YEdges, Edges("0:2:0.2"));
  EXPECT_EQ(c.Spec.MaxAgeMs, 250u);
  EXPECT_EQ(c.MinCount, 3u);
  EXPECT_EQ(c.Stat, TTableStat::Mean);

  c.Spec.X = 1002;
  c.XEdgesText = "0,10, 50,100";
  c.Spec.XEdges = Edges(c.XEdgesText);
  c.Spec.Z = 1000;
  ASSERT_TRUE(ParseConditions("Water Temp > 70; Revs >= 1500", *sensors_, c.Spec.Filters));
  c.Spec.MaxAgeMs = 400;
  c.Stat = TTableStat::Max;
  c.MinCount = 5;
  c.Target = "0.9";
  StoreTableChoices(c, *config_);
  ASSERT_TRUE(config_->Save(sensors_.get(), nullptr));
  TIniFile ini(config_->IniPath);
  EXPECT_EQ(ini.ReadString("Tables", "XEdges", ""), "0,10, 50,100");
  EXPECT_EQ(ini.ReadString("Tables", "Filters", ""), "1003 > 70;1008 >= 1500");
  EXPECT_FALSE(ini.HasKey("Tables", "YEdges"));  // the sensor's default

  TConfig again(config_->IniPath, dir_.Path());
  again.MachinePath = config_->MachinePath;
  again.Load(nullptr, nullptr);
  const TTableChoices back = LoadTableChoices(again, *sensors_);
  EXPECT_EQ(back.Spec, c.Spec);
  EXPECT_EQ(back.XEdgesText, c.XEdgesText);
  EXPECT_EQ(back.Stat, c.Stat);
  EXPECT_EQ(back.MinCount, 5u);
  EXPECT_EQ(back.Target, "0.9");

  again.TableX = 99999;
  again.TableYEdges = "3,2";
  again.TableStat = 9;
  const TTableChoices fallen = LoadTableChoices(again, *sensors_);
  EXPECT_EQ(fallen.Spec.X, 1008u);
  EXPECT_EQ(fallen.Spec.YEdges, DefaultEdges(*sensors_, 1007));
  EXPECT_EQ(fallen.YEdgesText, "");
  EXPECT_EQ(fallen.Stat, TTableStat::Mean);
}

TEST_F(Tables, AStoredMaximumAgeBeyondThePagesRangeIsTakenAsItsLongest) {
  for (const auto& [stored, taken] : {std::pair{"9000000", PageMaxAgeMs}, {"600001", PageMaxAgeMs},
                                      {"600000", PageMaxAgeMs}, {"0", 0u}}) {
    TIniFile ini(config_->IniPath);
    ini.WriteString("Tables", "MaxAgeMs", stored);
    ASSERT_TRUE(ini.Save(config_->IniPath));
    TConfig again(config_->IniPath, dir_.Path());
    again.MachinePath = config_->MachinePath;
    again.Load(nullptr, nullptr);
    EXPECT_EQ(LoadTableChoices(again, *sensors_).Spec.MaxAgeMs, taken) << stored;
  }
}

}  // namespace
