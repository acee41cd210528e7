// Builds the demo test folder from its readable source:
//   make_demo SOURCE FOLDER [EXHIBIT_PROGRAM]
// EXHIBIT_PROGRAM is the built demo exhibit program, copied in as the source's program exhibits.
// Exits with 0 when the folder was built, 1 (after a message naming the fault) when not; a
// failing source leaves no folder behind and an earlier folder as it was. Needs no display:
// the book and the pictures are drawn on Qt's offscreen platform.
#include <stdlib.h>

#include <QGuiApplication>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>

#include "samples/demo_folder.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: make_demo SOURCE FOLDER [EXHIBIT_PROGRAM]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "make_demo: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qt_argc = 1;
  QGuiApplication app(qt_argc, argv);
  try {
    const samples::DemoSource source = samples::ParseSource(text);
    samples::BuildDemoFolder(source, argv[2], argc == 4 ? argv[3] : "");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_demo: %s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
