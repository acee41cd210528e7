// Assembles the demo test's folder: test definition, question table and memo file, logos,
// exhibit folder (text, picture and program exhibits) and book.
#pragma once

#include <string>

#include "samples/demo_maker.h"

namespace samples {

// Builds the whole test folder `folder`: everything is made in a fresh folder beside it, which
// then takes the place of `folder` (so no file of an earlier build survives). An existing
// `folder` must be empty or hold this test's definition file. Starts the engine; needs a
// QGuiApplication (for the book and the pictures). A program exhibit is a copy of
// `exhibit_program` (the built demo exhibit program) with its execute bits set; a source with
// one needs that file. Throws DemoError, leaving `folder` as it was.
void BuildDemoFolder(const DemoSource& source, const std::string& folder,
                     const std::string& exhibit_program = std::string());

}  // namespace samples
