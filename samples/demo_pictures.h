// The demo test's pictures, drawn with QPainter and saved by QImage as 24-bit Windows bitmaps
// (BITMAPINFOHEADER, rows bottom up, 72 dots per inch). Need a QGuiApplication (for the fonts).
#pragma once

#include <string>

#include "samples/demo_maker.h"

namespace samples {

// A picture exhibit from its drawing commands ("size W H", "line X1 Y1 X2 Y2", "box X Y W H
// label", "text X Y text"; a text's X Y is the top left corner of its capitals). Throws
// DemoError naming the exhibit, its line and the command at fault.
std::string MakePicture(const Exhibit& exhibit);

// Logo n (1 or 2), 89 by 81 pixels.
std::string MakeLogo(int n);

}  // namespace samples
