#include "components/core/caption_place.h"

#include <gtest/gtest.h>

namespace components {
namespace {

TEST(CaptionPlaceTest, PlacesTheLabelAroundTheControl) {
  // Control at (100, 50), 80 x 20; label 30 x 13.
  const TCaptionRect control{100, 50, 80, 20};
  struct {
    TWenCaptionPosType Pos;
    int Left, Top;
    TCaptionAlignment Alignment;
  } const cases[] = {
      {cpLeft, 100 - 4 - 30, 54, TCaptionAlignment::Right},  // ends 4 pixels left of it
      {cpRight, 184, 54, TCaptionAlignment::Left},
      {cpTopLeft, 100, 50 - 13 - 4, TCaptionAlignment::Left},
      {cpTopRight, 180 - 30, 33, TCaptionAlignment::Right},  // right edges line up
      {cpBottomLeft, 100, 74, TCaptionAlignment::Left},
      {cpBottomRight, 150, 74, TCaptionAlignment::Right},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Pos);
    const auto place = PlaceCaption(control, 30, 13, c.Pos);
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->Left, c.Left);
    EXPECT_EQ(place->Top, c.Top);
    EXPECT_EQ(place->Alignment, c.Alignment);
  }
  EXPECT_FALSE(PlaceCaption(control, 30, 13, cpDetached).has_value());
}

TEST(CaptionPlaceTest, RightJustifiedLabelGrowsToTheLeft) {
  const TCaptionRect control{10, 0, 50, 20};
  EXPECT_EQ(PlaceCaption(control, 100, 13, cpLeft)->Left, -94);  // may leave the parent
  EXPECT_EQ(PlaceCaption(control, 0, 13, cpLeft)->Left, 6);
  EXPECT_EQ(PlaceCaption(control, 100, 13, cpRight)->Left, 64);
}

}  // namespace
}  // namespace components
