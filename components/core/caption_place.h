// Where a caption label goes next to its control. The placement is a pure function of the
// control's rectangle, the label's size and the position, so both the Qt controls and tests
// use the same rules.
#pragma once

#include <optional>

namespace components {

enum TWenCaptionPosType {
  cpLeft,
  cpRight,
  cpTopLeft,
  cpTopRight,
  cpBottomLeft,
  cpBottomRight,
  cpDetached,
};

enum class TCaptionAlignment { Left, Right };

struct TCaptionRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

struct TCaptionPlace {
  int Left = 0, Top = 0;
  TCaptionAlignment Alignment = TCaptionAlignment::Left;
};

// The label's top-left corner and alignment for a label of label_width x label_height beside
// `control` (in the coordinates of the control's parent); nothing for cpDetached. The label is
// sized to its text: a left-justified label starts at the anchor column, a right-justified one
// ends there. Anchors: cpLeft 4 pixels left of the control, level with its top + 4; cpRight 4
// pixels right of it; cpTopLeft/cpTopRight above it (4 pixels gap) at its left/right edge;
// cpBottomLeft/cpBottomRight below it likewise.
std::optional<TCaptionPlace> PlaceCaption(const TCaptionRect& control, int label_width,
                                          int label_height, TWenCaptionPosType pos);

}  // namespace components
