#include "components/core/caption_place.h"

namespace components {

std::optional<TCaptionPlace> PlaceCaption(const TCaptionRect& control, int label_width,
                                          int label_height, TWenCaptionPosType pos) {
  const int l = control.Left, t = control.Top, w = control.Width, h = control.Height;
  int top = 0, anchor = 0;
  TCaptionAlignment alignment = TCaptionAlignment::Left;
  switch (pos) {
    case cpLeft:
      top = t + 4, anchor = l - 4, alignment = TCaptionAlignment::Right;
      break;
    case cpRight:
      top = t + 4, anchor = l + w + 4;
      break;
    case cpTopLeft:
      top = t - label_height - 4, anchor = l;
      break;
    case cpTopRight:
      top = t - label_height - 4, anchor = l + w, alignment = TCaptionAlignment::Right;
      break;
    case cpBottomLeft:
      top = t + h + 4, anchor = l;
      break;
    case cpBottomRight:
      top = t + h + 4, anchor = l + w, alignment = TCaptionAlignment::Right;
      break;
    default:
      return std::nullopt;
  }
  // A right-justified label keeps its right edge at the anchor as it grows to its text.
  const int left = alignment == TCaptionAlignment::Right ? anchor - label_width : anchor;
  return TCaptionPlace{left, top, alignment};
}

}  // namespace components
