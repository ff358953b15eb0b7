#include "common/progress_bar.h"

#include <gtest/gtest.h>

namespace quirel {
namespace {

TEST(ProgressBar, StepsPastTheTopStartOverFromTheBottom) {
  BarModel bar;
  bar.SetRange(0, 10);
  bar.step = 3;
  bar.SetPos(9);
  bar.StepIt();
  EXPECT_EQ(bar.pos, 2);  // 12 is 2 past the top
  bar.SetRange(5, 8);
  EXPECT_EQ(bar.pos, 5);  // kept inside a new range
  bar.SetPos(100);
  EXPECT_EQ(bar.pos, 8);
  bar.step = 1;
  bar.StepIt();
  EXPECT_EQ(bar.pos, 6);
  bar.SetRange(0, 20);
  bar.SetPos(19);
  bar.StepIt();
  EXPECT_EQ(bar.pos, 20);  // reaching the top is no wrap
  bar.SetPos(7);
  bar.SetRange(0, 50);
  EXPECT_EQ(bar.pos, 7);  // a wider range does not start the bar over
  EXPECT_EQ(bar.Percent(), 14);
  bar.SetRange(4, 4);
  EXPECT_EQ(bar.Percent(), 0);  // an empty range is never under way
}

}  // namespace
}  // namespace quirel
