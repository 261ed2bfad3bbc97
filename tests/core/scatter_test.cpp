// The colour scale of tables and scatter plots, and the scatter plot's bins.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "TestSupport.h"
#include "analysis/ColourScale.h"
#include "analysis/ScatterBins.h"

namespace {

class Colours : public CatalogueTest {};

TEST_F(Colours, TheScaleRunsFromRichThroughTheTargetToLean) {
  const TColourScale lambda = DefaultColourScale(*sensors_->Lambda);
  EXPECT_EQ(lambda.Target, 1.0);
  EXPECT_DOUBLE_EQ(lambda.Span, 0.15);
  const uint32_t rich = lambda.ColourOf(0.85), target = lambda.ColourOf(1.0), lean = lambda.ColourOf(1.15);
  // Blue, green, red of one brightness; a little lean is yellow, a little rich cyan.
  EXPECT_EQ(rich, 0xFF5792E6u);
  EXPECT_EQ(target, 0xFF57E657u);
  EXPECT_EQ(lean, 0xFFE65757u);
  auto near = [](uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16})
      if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 2) return false;
    return true;
  };
  EXPECT_TRUE(near(lambda.ColourOf(1.075), 0xFFE6E657u));
  EXPECT_TRUE(near(lambda.ColourOf(1.0 - 0.15 * 60 / 95), 0xFF57E6E6u));
  // Beyond the reach the end colours stay.
  EXPECT_EQ(lambda.ColourOf(0.5), rich);
  EXPECT_EQ(lambda.ColourOf(2.0), lean);
  EXPECT_EQ(lambda.ColourOf(NAN), target);
  EXPECT_EQ(std::string(lambda.BelowWord()) + "/" + lambda.AboveWord(), "rich/lean");

  // Air/fuel ratio: 14.7; an oxygen sensor's volts: high is rich; other sensors: their range.
  sensors_->Lambda->Unit = UNIT_AFR;
  EXPECT_EQ(DefaultColourScale(*sensors_->Lambda).Target, 14.7);
  const TColourScale o2 = DefaultColourScale(*sensors_->O2A);
  EXPECT_EQ(o2.Target, 0.45);
  EXPECT_EQ(o2.ColourOf(0.9), rich);
  EXPECT_EQ(std::string(o2.AboveWord()), "rich");
  const TColourScale tps = DefaultColourScale(*sensors_->TPS);
  EXPECT_EQ(tps.Target, 50);
  EXPECT_EQ(std::string(tps.AboveWord()), "");
  // A target and reach of the user's.
  const TColourScale own = ColourScaleFor(*sensors_->Lambda, "12.5", "1");
  EXPECT_EQ(own.ColourOf(13.5), lean);
  EXPECT_EQ(ColourScaleFor(*sensors_->Lambda, "x", "-1").Target, 14.7);
  EXPECT_EQ(TextColourOn(rich), 0xFFFFFFFFu);
  EXPECT_EQ(TextColourOn(target), 0xFF000000u);
}

TEST(ScatterBins, PointsLandInTheirBinWithTheTopAndRightEdgesInTheLastOnes) {
  TScatterBins bins;
  bins.Reset(4, 2, 0, 8000, 0, 1);
  EXPECT_EQ(bins.BinOf(0, 0), 4);  // bottom left: the lower row
  EXPECT_EQ(bins.BinOf(1999, 0.49), 4);
  EXPECT_EQ(bins.BinOf(2000, 0.5), 1);  // top row
  EXPECT_EQ(bins.BinOf(8000, 1), 3);
  EXPECT_EQ(bins.BinOf(8000.1, 1), -1);
  EXPECT_EQ(bins.BinOf(-1, 0.5), -1);
  EXPECT_EQ(bins.BinOf(NAN, 0.5), -1);
  bins.Add(100, 0.1, 0.9);
  bins.Add(200, 0.2, 1.1);
  bins.Add(7000, 0.9, 1.0);
  bins.Add(9000, 0.9, 5);  // outside: not kept
  EXPECT_EQ(bins.Count(4), 2u);
  EXPECT_DOUBLE_EQ(bins.Mean(4), 1.0);
  EXPECT_EQ(bins.XAt(1), 2000);
  EXPECT_EQ(bins.YAt(2), 0);
}

TEST(ScatterBins, RenderingPaintsTheMeansAndThenOnlyWhatChanged) {
  TScatterBins bins;
  bins.Reset(3, 3, 0, 3, 0, 3);
  TColourScale scale;
  bins.Add(0.5, 2.5, 0.85);  // top left, rich
  bins.Add(2.5, 0.5, 1.15);  // bottom right, lean
  std::vector<uint32_t> pixels(3 * 4, 0x12345678u);
  bins.Render(scale, pixels.data(), 4);
  EXPECT_EQ(pixels[0], scale.ColourOf(0.85));
  EXPECT_EQ(pixels[2 * 4 + 2], scale.ColourOf(1.15));
  EXPECT_EQ(pixels[1 * 4 + 1], 0u);   // empty: transparent
  EXPECT_EQ(pixels[3], 0x12345678u);  // beyond the row: untouched
  EXPECT_FALSE(bins.RenderChanged(scale, pixels.data(), 4));
  bins.Add(1.5, 1.5, 1.0);
  bins.Add(2.5, 0.5, 0.85);  // the lean bin's mean becomes the target
  pixels[0] = 0;             // not changed since: stays as it is
  ASSERT_TRUE(bins.RenderChanged(scale, pixels.data(), 4));
  EXPECT_EQ(pixels[0], 0u);
  EXPECT_EQ(pixels[1 * 4 + 1], scale.ColourOf(1.0));
  EXPECT_EQ(pixels[2 * 4 + 2], scale.ColourOf(1.0));
}

}  // namespace
