#include <gtest/gtest.h>

#include "definitions/MeasureType.h"
#include "measuring/Geometry.h"
#include "measuring/ValueText.h"

TEST(ValueText, Pattern) {
  const std::pair<double, const char *> cases[] = {
      {0, ""},           {0.000004, ""},     {0.00002, ".0000"}, {0.00005, ".0001"},
      {0.5, ".5"},       {0.25, ".25"},      {2.50, "2.5"},      {10.0, "10"},
      {12.34567, "12.3457"}, {2.99996, "3"}, {1234.5, "1234.5"}, {9.99995, "10"},
      {25.3, "25.3"},    {50.6, "50.6"},     {180, "180"},       {-0.5, "-.5"},
      {123456789.12345, "123456789.1234"},   {1e20, "100000000000000000000"},
  };
  for (auto [value, text] : cases) EXPECT_EQ(FormatValue(value, u'.'), QString::fromLatin1(text)) << value;
  EXPECT_EQ(FormatValue(2.5, u','), "2,5");
  EXPECT_EQ(FormatValue(0.25, u','), ",25");
}

TEST(Geometry, LengthsAndZoom) {
  EXPECT_EQ(ScaleLengthDots({10, 10}, {310, 410}, 2.0), 250);
  EXPECT_EQ(ScaleLengthDots({0, 0}, {0, 0}, 1.0), 0);
  EXPECT_EQ(ScaleLengthDots({0, 0}, {100, 0}, 2.0), 50);
  EXPECT_EQ(ScaleLengthDots({0, 0}, {100, 0}, 0.5), 200);
  EXPECT_EQ(ScaleLengthDots({0, 0}, {1009, 0}, 10.0), 100);  // 100.9 dots
  EXPECT_DOUBLE_EQ(LineLengthCm({0, 0}, {30, 40}, 0.5, 25), 4);
}

TEST(Geometry, Angles) {
  struct Case {
    QPoint B;
    double Degrees;
  };
  const Case cases[] = {{{100, 0}, 90}, {{0, 100}, 180}, {{300, 100}, 0}, {{200, 0}, 45}};
  for (const Case &c : cases) {
    auto a = AngleBetweenArms({100, 100}, {200, 100}, c.B);
    ASSERT_TRUE(a.has_value());
    EXPECT_NEAR(*a, c.Degrees, 1e-12);
    auto swapped = AngleBetweenArms({100, 100}, c.B, {200, 100});
    EXPECT_NEAR(*swapped, c.Degrees, 1e-12);
  }
  // Arms exactly in line at awkward lengths stay within [0, 180].
  auto straight = AngleBetweenArms({0, 0}, {3, 7}, {-6, -14});
  ASSERT_TRUE(straight.has_value());
  EXPECT_EQ(FormatValue(*straight, u'.'), "180");
  auto same = AngleBetweenArms({0, 0}, {3, 7}, {9, 21});
  EXPECT_EQ(FormatValue(*same, u'.'), "");
  EXPECT_FALSE(AngleBetweenArms({5, 5}, {5, 5}, {9, 9}).has_value());
  EXPECT_FALSE(AngleBetweenArms({5, 5}, {9, 9}, {5, 5}).has_value());
}

TEST(Geometry, RectangleFromEveryCorner) {
  TMeasureType all;
  all.Height = all.Width = all.Perimeter = all.Area = true;
  const QPoint corners[][2] = {{{0, 0}, {30, 20}}, {{30, 20}, {0, 0}}, {{30, 0}, {0, 20}}, {{0, 20}, {30, 0}}};
  for (auto &c : corners) {
    std::vector<double> q = RectangleQuantities(c[0], c[1], 1.0, 10, all);
    EXPECT_EQ(q, (std::vector<double>{2, 3, 10, 6}));
  }
  TMeasureType wa;
  wa.Width = wa.Area = true;
  EXPECT_EQ(RectangleQuantities({0, 0}, {60, 40}, 2.0, 10, wa), (std::vector<double>{3, 6}));
  EXPECT_TRUE(RectangleQuantities({0, 0}, {60, 40}, 2.0, 10, TMeasureType()).empty());
  // Zero width: Width and Area 0, Height and Perimeter still there.
  EXPECT_EQ(RectangleQuantities({5, 0}, {5, 20}, 1.0, 10, all), (std::vector<double>{2, 0, 4, 0}));
}
