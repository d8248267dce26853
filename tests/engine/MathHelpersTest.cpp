#include <gtest/gtest.h>

#include <climits>

#include "engine/MathHelpers.h"

namespace {

TEST(Angles, TurnTowardsAngle) {
  struct Case {
    float current, target, step, expected;
  } cases[] = {
      {350, 10, 30, 10},  // the step covers the 20-degree gap
      {350, 10, 5, 355},  // turns up through 360 toward 10
      {355, 10, 10, 5},   // crosses 360 and wraps
      {10, 350, 5, 5},    // the short way is anticlockwise
      {5, 300, 10, 355},  // anticlockwise below 0 wraps
      {0, 180, 10, 350},  // exactly opposite: the step is subtracted
      {90, 100, 20, 100}, {90, 90, 0, 90},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.current << " -> " << c.target << " by " << c.step);
    EXPECT_NEAR(TurnTowardsAngle(c.current, c.target, c.step), c.expected, 1e-4);
  }
}

TEST(Angles, DifferenceAndTurnDirection) {
  struct Case {
    float a, b, difference;
    bool positive;  // a -> b is shorter clockwise
  } cases[] = {
      {10, 350, 20, false}, {350, 10, 20, true}, {0, 180, 180, false},
      {90, 90, 0, true},    {0, 179, 179, true}, {270, 90, 180, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " / " << c.b);
    EXPECT_FLOAT_EQ(AngleDifference(c.a, c.b), c.difference);
    EXPECT_EQ(IsTurnPositive(c.a, c.b), c.positive);
  }
}

TEST(Angles, HeadingDegrees) {
  struct Case {
    float dx, dy, expected;
  } cases[] = {
      {1, 0, 90}, {0, 1, 180}, {-1, 0, 270}, {0, -1, 0}, {0, 0, 90}, {5, -5, 45}, {-3, 3, 225},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.dx << ", " << c.dy << ")");
    const float h = HeadingDegrees(100, 200, 100 + c.dx, 200 + c.dy);
    EXPECT_NEAR(h, c.expected, 1e-3);
    EXPECT_GE(h, 0.0f);
    EXPECT_LT(h, 360.0f);
  }
  EXPECT_FLOAT_EQ(Distance(0, 0, 3, 4), 5.0f);
}

// A heading or turn a hair below 0 rounds to exactly 360 once wrapped; per-degree
// tables are indexed with these angles, so every result must stay in [0, 360).
TEST(Angles, ResultsNeverReachAFullTurn) {
  struct Case {
    const char* what;
    float angle;
  } cases[] = {
      {"heading just left of straight up", HeadingDegrees(0, 0, -3e-7f, -1)},
      {"heading just left of straight up, further", HeadingDegrees(0, 0, -4e-7f, -1)},
      {"turn a hair below zero", TurnTowardsAngle(5e-7f, 300, 1e-6f)},
      {"turn a hair below zero, further", TurnTowardsAngle(1.5e-6f, 300, 3e-6f)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_GE(c.angle, 0.0f);
    EXPECT_LT(c.angle, 360.0f);
    EXPECT_LT(AngleDifference(c.angle, 0.0f), 1e-3f);
  }
}

TEST(Geometry, RayCircleIntersection) {
  struct Case {
    const char* what;
    float sx, sy, ex, ey;
    bool hit;
    float x, y;
  } cases[] = {
      {"from outside", -20, 0, 20, 0, true, -10, 0},
      {"circle behind the start", 20, 0, 100, 0, true, -10, 0},  // t is negative
      {"from inside", 0, 0, 1, 0, true, -10, 0},
      {"tangent", -20, 10, 20, 10, true, 0, 10},
      {"miss", -20, 11, 20, 11, false, 0, 0},
      {"zero length", 3, 3, 3, 3, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Vec2f p{123, 456};
    EXPECT_EQ(RayCircleIntersection(&p, 10, 0, 0, c.sx, c.sy, c.ex, c.ey), c.hit);
    if (c.hit) {
      EXPECT_NEAR(p.x, c.x, 1e-3);
      EXPECT_NEAR(p.y, c.y, 1e-2);
    }
  }
}

TEST(Formatting, FormatThousands) {
  struct Case {
    int value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {7, "7"},
      {999, "999"},
      {1000, "1,000"},
      {10000, "10,000"},
      {100000, "100,000"},
      {1000000, "1,000,000"},
      {1234567, "1,234,567"},
      {1000000000, "1,000,000,000"},
      {INT_MAX, "2,147,483,647"},
      {-1, "-1"},
      {-999, "-999"},
      {-1000, "-1,000"},
      {-1234567, "-1,234,567"},
      {INT_MIN, "-2,147,483,648"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(FormatThousands(c.value), c.text);
    char buffer[32];
    FormatThousands(c.value, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, c.text);
  }
  // A short buffer is cut, never overrun.
  char small[4] = {'x', 'x', 'x', 'x'};
  FormatThousands(1234567, small, sizeof small);
  EXPECT_STREQ(small, "1,2");
}

}  // namespace
