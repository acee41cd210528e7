#include "samples/demo_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>
#include <vector>

#include "engine/engine.h"
#include "samples/demo_book.h"
#include "samples/demo_pictures.h"

namespace samples {

namespace {

namespace fs = std::filesystem;

std::string ReadProgram(const std::string& path) {
  if (path.empty()) throw DemoError("a program exhibit needs the demo exhibit program");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DemoError("cannot read " + path);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || bytes.empty()) throw DemoError("cannot read " + path);
  return bytes;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw DemoError("cannot write " + path.string());
}

}  // namespace

void BuildDemoFolder(const DemoSource& s, const std::string& folder,
                     const std::string& exhibit_program) {
  // Everything is made in memory first, so that a failing source writes nothing.
  const std::vector<QuestionRecord> records = MakeRecords(s);
  std::map<std::string, std::string> files;  // folder-relative name -> bytes
  files[IniFileName(s)] = MakeTestDefinition(s);
  files[BookFileName(s)] = MakeBook(s);
  files["Logo1.bmp"] = MakeLogo(1);
  files["Logo2.bmp"] = MakeLogo(2);
  std::vector<std::string> programs;  // folder-relative names of the program exhibits
  for (const Exhibit& e : s.exhibits) {
    const std::string name = ExhibitFolderName(s) + "/" + e.file;
    if (e.program) {
      files[name] = ReadProgram(exhibit_program);
      programs.push_back(name);
    } else {
      files[name] = e.picture ? MakePicture(e) : MakeTextExhibit(e);
    }
  }

  fs::path target = fs::absolute(fs::path(folder));
  if (target.filename().empty()) target = target.parent_path();
  fs::create_directories(target.parent_path());
  // Only an empty folder or an earlier build of this test is replaced.
  if (fs::exists(target) && !fs::is_empty(target) && !fs::exists(target / IniFileName(s))) {
    throw DemoError(target.string() + " holds other files than an earlier build of this test");
  }
  std::string staging =
      (target.parent_path() / (target.filename().string() + ".new-XXXXXX")).string();
  if (!mkdtemp(staging.data())) throw DemoError("cannot make a folder beside " + target.string());
  try {
    fs::permissions(staging, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory(fs::path(staging) / ExhibitFolderName(s));
    for (const auto& [name, bytes] : files) WriteFile(fs::path(staging) / name, bytes);
    for (const std::string& name : programs) {
      fs::permissions(fs::path(staging) / name,
                      fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                      fs::perm_options::add);
    }
    engine::StartEngine();
    WriteQuestionTable(records, (fs::path(staging) / TableFileName(s)).string());
    fs::remove_all(target);
    fs::rename(staging, target);
  } catch (...) {
    std::error_code ec;
    fs::remove_all(staging, ec);
    throw;
  }
}

}  // namespace samples
