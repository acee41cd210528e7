// Copies the generated demo test for a test of its own. run.sh copies the programs and the
// book viewer into the demo folder, so a copy leaves those out: a test sees the test folder
// as the build made it, whether or not the programs were run from it.
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace testing_support {

// Copies the files and folders of `demo` into `folder` (which exists), except the programs
// and the viewer that run.sh puts beside them.
inline void CopyDemoFolder(const std::filesystem::path& demo, const std::filesystem::path& folder) {
  static const std::set<std::string> kRunCopies = {"Velkorin", "Drumelle", "Oskavane", "bookview"};
  for (const auto& entry : std::filesystem::directory_iterator(demo)) {
    if (kRunCopies.count(entry.path().filename().string())) continue;
    std::filesystem::copy(entry.path(), folder / entry.path().filename(),
                          std::filesystem::copy_options::recursive);
  }
}

}  // namespace testing_support
