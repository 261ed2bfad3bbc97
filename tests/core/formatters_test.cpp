// Time and unit texts.
#include "TestSupport.h"
#include "vars/Formatters.h"
#include "vars/Units.h"

namespace {

TEST(FormatWholeSeconds, HoursMinutesAndSecondsTruncated) {
  EXPECT_EQ(FormatWholeSeconds(70999), "0:01:10");
  EXPECT_EQ(FormatWholeSeconds(3723456), "1:02:03");
}

TEST(FormatMilliseconds, HoursMinutesSecondsAndThousandths) {
  EXPECT_EQ(FormatMilliseconds(3723456), "1:02:03.456s");
  EXPECT_EQ(FormatMilliseconds(0), "0:00:00.000s");
  EXPECT_EQ(FormatMilliseconds(59999), "0:00:59.999s");
  EXPECT_EQ(FormatMilliseconds(36000000), "10:00:00.000s");
  EXPECT_EQ(FormatMilliseconds(4294967295u), "1193:02:47.295s");
}

TEST(FormatSeconds, TruncatesEachPart) {
  EXPECT_EQ(FormatSeconds(65.25), "0:01:05.250s");
  EXPECT_EQ(FormatSeconds(0), "0:00:00.000s");
  EXPECT_EQ(FormatSeconds(3723.4567), "1:02:03.456s");
  EXPECT_EQ(FormatSeconds(59.9999), "0:00:59.999s");
}

TEST(FormatSeconds, OutOfRangeValuesDoNotOverflow) {
  EXPECT_EQ(FormatSeconds(std::numeric_limits<double>::quiet_NaN()), "0:00:00.000s");
  EXPECT_FALSE(FormatSeconds(1e300).empty());
}

TEST(FormatAxisTime, DropsLeadingZeroUnitsAndPadsToTwoPlaces) {
  EXPECT_EQ(FormatAxisTime(3725), "1:02:05");
  EXPECT_EQ(FormatAxisTime(125), " 2:05");
  EXPECT_EQ(FormatAxisTime(7), " 7");
  EXPECT_EQ(FormatAxisTime(59.9), "59");
  EXPECT_EQ(FormatAxisTime(60), " 1:00");
  EXPECT_EQ(FormatAxisTime(3600), "1:00:00");
  EXPECT_EQ(FormatAxisTime(0), " 0");
}

class UnitTexts : public CatalogueTest {};

TEST_F(UnitTexts, FollowTheSettings) {
  config_->SpeedUnit = 0;
  config_->TemperatureUnit = 0;
  EXPECT_EQ(UnitText(UNIT_SPEED, *config_), "mph");
  EXPECT_EQ(UnitText(UNIT_TEMPERATURE, *config_), "\xC2\xB0" "F");
  config_->SpeedUnit = 1;
  config_->TemperatureUnit = 1;
  EXPECT_EQ(UnitText(UNIT_SPEED, *config_), "kph");
  EXPECT_EQ(UnitText(UNIT_TEMPERATURE, *config_), "\xC2\xB0" "C");
}

}  // namespace
