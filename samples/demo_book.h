// The demo test's book: a PDF file written by QPdfWriter in the DejaVu faces, embedded. Page 1
// holds the title and the contents; each topic has the page ParseSource gave it.
#pragma once

#include <string>

#include "samples/demo_maker.h"

namespace samples {

// The PDF bytes. Every text of the book must exist in code page 1252, and the contents and
// each topic must fit on their one page: otherwise DemoError names the text at fault. Needs a
// QGuiApplication.
std::string MakeBook(const DemoSource& source);

}  // namespace samples
