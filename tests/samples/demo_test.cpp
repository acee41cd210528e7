// The demo test: the folder the build generates (test definition, question table and memo
// file as our engine reads them, logos, exhibits, book) and the generator's refusals.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/bytes.h"
#include "engine/error.h"
#include "engine/memo_device.h"
#include "engine/utils.h"
#include "engine/work_area.h"
#include "samples/demo_folder.h"
#include "tests/support/demo_copy.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using samples::Lines;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

constexpr char kTable[] = "NF30125.dbf";

samples::DemoSource DemoSource() { return samples::ParseSource(ReadFileBytes(PX_DEMO_SOURCE)); }

std::string Oem(const std::string& utf8) {
  return samples::Encode(utf8, platform::CodePage::k437, "test");
}
std::string Ansi(const std::string& utf8) {
  return samples::Encode(utf8, platform::CodePage::k1252, "test");
}

// Every file below `dir`, by its path relative to it ("EX30125/x.txt").
std::set<std::string> FilesBelow(const std::string& dir) {
  std::set<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file()) files.insert(fs::relative(e.path(), dir).string());
  }
  return files;
}

bool OnlyCrLf(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
    if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) return false;
  }
  return true;
}

// Width, height and bits per pixel of a Windows bitmap whose header and size are consistent.
struct BmpInfo {
  int32_t width = 0, height = 0;
  uint16_t bits = 0;
};
BmpInfo ReadBmp(const std::string& bytes) {
  BmpInfo info;
  if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0) return info;
  const int32_t w = engine::GetI32LE(bytes.data() + 18), h = engine::GetI32LE(bytes.data() + 22);
  const uint16_t bits = engine::GetU16LE(bytes.data() + 28);
  const uint32_t row = (static_cast<uint32_t>(w) * bits / 8 + 3) & ~3u;
  if (engine::GetU32LE(bytes.data() + 2) != bytes.size() ||
      engine::GetU32LE(bytes.data() + 10) + row * static_cast<uint32_t>(h) != bytes.size()) {
    return info;
  }
  return {w, h, bits};
}

struct RunResult {
  int status = -1;  // exit status; -1 when the command did not exit normally
  std::string output;
};
// Runs a shell command; its output is stdout and stderr together.
RunResult RunCommand(const std::string& command) {
  RunResult result;
  FILE* out = ::popen((command + " 2>&1").c_str(), "r");
  if (out == nullptr) return result;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof(buf), out)) result.output.append(buf, n);
  const int status = ::pclose(out);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// The text with every run of white space made one blank, and none at either end.
std::string Flat(const std::string& text) {
  std::istringstream words(text);
  std::string out, word;
  while (words >> word) out += (out.empty() ? "" : " ") + word;
  return out;
}

// The lines of the text, each made flat.
std::vector<std::string> FlatLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(Flat(line));
  return lines;
}

// Whether some pixel of the rectangle is dark (text drawn in ink).
bool HasInk(const QImage& image, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (qGray(image.pixel(x, y)) < 100) return true;
    }
  }
  return false;
}

// The demo folder copied into the test's own folder, its table open read-only as the program
// opens it.
class DemoFolderTest : public testing_support::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    testing_support::CopyDemoFolder(PX_DEMO_DIR, dir_.path());
  }

  void Open() {
    engine::OpenModeOverride = 0;
    engine::USE(dir_ / kTable, nullptr, 0);
    ASSERT_EQ(engine::ErrorCode, 0) << engine::ErrorMsg;
  }

  // A character field's text without its trailing blanks.
  static std::string Text(const char* field) {
    const uint8_t* slot = engine::FieldAddress(engine::FieldNo(field));
    return engine::RTrim(std::string(reinterpret_cast<const char*>(slot + 1), slot[0]));
  }
  static bool Flag(const char* field) { return *engine::FieldAddress(engine::FieldNo(field)) != 0; }
  static int32_t Ref(const std::string& field) {
    return engine::GetI32LE(engine::FieldAddress(engine::FieldNo(field)));
  }
  static Lines MemoLines(const std::string& field) {
    int32_t ref = Ref(field);
    Lines lines;
    engine::TMemoDevice f;
    EXPECT_TRUE(f.Assign(ref));
    EXPECT_EQ(f.Reset(), 0) << engine::ErrorMsg;
    std::string line;
    while (!f.Eof()) {
      EXPECT_EQ(f.ReadLn(line), 0);
      lines.push_back(line);
    }
    EXPECT_EQ(f.Close(), 0);
    return lines;
  }
  // The bytes of the current record's field as the table file holds them.
  std::string FileField(const std::string& field) const {
    const engine::TDbfFileRec& t = engine::CurrentWorkArea()->Dbf;
    const engine::TFieldDef& f = t.Fields[engine::FieldNo(field) - 1];
    return std::string(reinterpret_cast<const char*>(t.RecBuf.data()) + f.Offset, f.Len);
  }
  // A plain memo's bytes in the memo file, up to its end byte.
  std::string RawMemo(int32_t ref) const {
    const std::string dbt = ReadFileBytes(dir_ / "NF30125.DBT");
    const size_t at = static_cast<size_t>(ref) * 512;
    return dbt.substr(at, dbt.find('\x1A', at) - at);
  }
};

TEST_F(DemoFolderTest, HoldsTheTestWithItsDerivedFilesInTheirCharacterSets) {
  // The names the program cuts from the table's name: exhibit folder "EX" + characters 3 to
  // length - 4, book with "pdf" for its last three characters.
  const std::string dbf = kTable;
  const std::string exhibits = "EX" + dbf.substr(2, dbf.size() - 6);
  const std::string book = dbf.substr(0, dbf.size() - 3) + "pdf";
  EXPECT_EQ(exhibits, "EX30125");
  EXPECT_EQ(FilesBelow(dir_.path()),
            (std::set<std::string>{"NF30125.ini", kTable, "NF30125.DBT", book, "Logo1.bmp",
                                   "Logo2.bmp", exhibits + "/routing_table.txt",
                                   exhibits + "/office_network.bmp", exhibits + "/demo.exe"}));
  // The program exhibit is the built exhibit program, executable by everyone.
  const fs::path program = dir_ / (exhibits + "/demo.exe");
  EXPECT_EQ(ReadFileBytes(program), ReadFileBytes(PX_DEMO_EXHIBIT));
  const fs::perms exec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
  EXPECT_EQ(fs::status(program).permissions() & exec, exec);

  const samples::DemoSource source = DemoSource();
  const std::string ini = ReadFileBytes(dir_ / "NF30125.ini");
  EXPECT_TRUE(OnlyCrLf(ini));
  std::map<std::string, std::string> keys;
  for (size_t at = 0, end; (end = ini.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const std::string line = ini.substr(at, end - at);
    const size_t equals = line.find('=');
    if (equals != std::string::npos) keys[line.substr(0, equals)] = line.substr(equals + 1);
  }
  EXPECT_EQ(keys["Test Name"], "Networking Fundamentals \x96 Practice Test");  // en dash, ANSI
  EXPECT_EQ(keys["Number of Questions"], "20");
  EXPECT_EQ(keys["Time Limit"], "30");
  EXPECT_EQ(keys["Passing Score"], "700");
  EXPECT_EQ(keys["Show Chapter"], "1");
  EXPECT_EQ(keys["Show Links"], "1");
  EXPECT_EQ(keys["Write Scores"], "1");
  EXPECT_EQ(keys["Format"], "Acrobat");
  ASSERT_EQ(keys["ObjectiveCount"], "5");
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(keys["Objective" + std::to_string(i)], Ansi(source.objectives[i].name));
  }
  EXPECT_GT(keys["Objective0"].size(), 40u);
  EXPECT_EQ(keys["ObjectiveSel"], "-1");

  const std::string text = ReadFileBytes(dir_ / (exhibits + "/routing_table.txt"));
  EXPECT_TRUE(OnlyCrLf(text));
  EXPECT_NE(text.find("R1 \x96 Z\xFCrich"), std::string::npos) << "ANSI en dash and u umlaut";
}

TEST_F(DemoFolderTest, PicturesAreWindowsBitmapsTheProgramReads) {
  struct Picture {
    std::string file;
    QSize size;
    // Pixels of known colour: the logos' frames and faces, a box's border and fill.
    std::vector<std::pair<QPoint, QColor>> pixels;
    std::vector<QRect> ink;  // areas that hold text
  };
  const std::vector<Picture> pictures = {
      {"Logo1.bmp",
       {89, 81},
       {{{0, 0}, {196, 206, 222}}, {{88, 40}, {196, 206, 222}}, {{38, 33}, {34, 97, 168}}},
       {}},
      {"Logo2.bmp",
       {89, 81},
       {{{44, 80}, {196, 206, 222}}, {{44, 40}, {22, 122, 122}}, {{3, 3}, {255, 255, 255}}},
       {}},
      {"EX30125/office_network.bmp",
       {600, 440},
       {{{5, 5}, {255, 255, 255}}, {{231, 13}, {40, 72, 124}}, {{235, 17}, {222, 235, 250}}},
       {{250, 20, 100, 24}, {20, 318, 70, 16}, {20, 414, 560, 16}}},
  };
  for (const Picture& p : pictures) {
    SCOPED_TRACE(p.file);
    // The layout the program's folder holds: BITMAPINFOHEADER, 24 bits, sizes consistent.
    const BmpInfo b = ReadBmp(ReadFileBytes(dir_ / p.file));
    EXPECT_EQ(b.bits, 24);
    EXPECT_EQ(QSize(b.width, b.height), p.size);
    // The program loads it as a Windows bitmap through Qt's reader.
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(dir_ / p.file), "BMP"));
    EXPECT_EQ(image.size(), p.size);
    for (const auto& [at, colour] : p.pixels) {
      EXPECT_EQ(image.pixelColor(at), colour) << at.x() << "," << at.y();
    }
    for (const QRect& area : p.ink) EXPECT_TRUE(HasInk(image, area)) << area.x() << "," << area.y();
  }
}

TEST_F(DemoFolderTest, TableHasTheQuestionFieldsAndPlainMemos) {
  EXPECT_EQ(static_cast<uint8_t>(ReadFileBytes(dir_ / kTable)[0]), 0x83);
  struct Def {
    const char* name;
    char type;
    int len;
  };
  const std::vector<Def> expected = {
      {"QUESTION", 'M', 10},  {"ANSWERA", 'M', 10},    {"ANSWERB", 'M', 10},
      {"ANSWERC", 'M', 10},   {"ANSWERD", 'M', 10},    {"ANSWERE", 'M', 10},
      {"FEEDBACK", 'M', 10},  {"CHECKA", 'L', 1},      {"CHECKB", 'L', 1},
      {"CHECKC", 'L', 1},     {"CHECKD", 'L', 1},      {"CHECKE", 'L', 1},
      {"DRUMEL", 'L', 1},     {"OBJECTIVE", 'C', 60},  {"EXHIBFILE", 'C', 20},
      {"TOPIC1", 'C', 40},    {"TOPIC2", 'C', 40},     {"TOPIC3", 'C', 40},
      {"TOP1HELP", 'N', 5},   {"TOP2HELP", 'N', 5},    {"TOP3HELP", 'N', 5},
      {"TOP1ACROPG", 'N', 5}, {"TOP2ACROPG", 'N', 5},  {"TOP3ACROPG", 'N', 5},
      {"CHAPTER", 'C', 60},   {"SELECTNOTE", 'C', 60},
  };
  Open();
  EXPECT_EQ(engine::FieldCount(), expected.size());
  for (const Def& d : expected) {
    const uint8_t n = engine::FieldNo(d.name);
    ASSERT_NE(n, 0) << d.name;
    EXPECT_EQ(engine::FieldType(n), d.type) << d.name;
    EXPECT_EQ(engine::FieldLen(n), d.len) << d.name;
    EXPECT_EQ(engine::FieldDec(n), 0) << d.name;
  }
  // Plain memos of 512-byte blocks: no memo starts with the block-header mark.
  const std::string dbt = ReadFileBytes(dir_ / "NF30125.DBT");
  EXPECT_EQ(dbt.size() % 512, 0u);
  int memos = 0;
  for (engine::GoTop(); !engine::dEOF(); engine::SKIP(1)) {
    for (const char* field : {"QUESTION", "ANSWERA", "FEEDBACK"}) {
      const int32_t ref = Ref(field);
      if (ref == 0) continue;
      ++memos;
      ASSERT_LT(static_cast<size_t>(ref) * 512, dbt.size());
      EXPECT_NE(dbt.compare(static_cast<size_t>(ref) * 512, 4, "\xFF\xFF\x08\x00", 4), 0);
    }
  }
  EXPECT_GT(memos, 80);
}

TEST_F(DemoFolderTest, RecordsReadBackAsTheSourceSays) {
  const samples::DemoSource source = DemoSource();
  Open();
  ASSERT_EQ(engine::RecCount(), static_cast<int32_t>(source.questions.size()));
  std::map<std::string, const samples::Topic*> topics;
  for (const samples::Topic& t : source.topics) topics[t.id] = &t;
  for (const samples::Question& q : source.questions) {
    SCOPED_TRACE("record " + std::to_string(q.number));
    engine::GO(q.number);
    std::map<std::string, Lines> memos = {{"QUESTION", q.question}, {"FEEDBACK", q.feedback}};
    for (int i = 0; i < 5; ++i) memos[std::string("ANSWER") + char('A' + i)] = q.answers[i];
    for (const auto& [field, lines] : memos) {
      Lines oem;
      for (const std::string& line : lines) oem.push_back(Oem(line));
      EXPECT_EQ(MemoLines(field), oem) << field;
      if (lines.empty()) {
        EXPECT_EQ(FileField(field), std::string(10, ' ')) << field << " is blank";
        continue;
      }
      std::string bytes;
      for (const std::string& line : oem) bytes += line + "\r\n";
      EXPECT_EQ(RawMemo(Ref(field)), bytes) << field;
    }
    for (int i = 0; i < 5; ++i) {
      const char letter = static_cast<char>('A' + i);
      EXPECT_EQ(Flag((std::string("CHECK") + letter).c_str()),
                q.correct.find(letter) != std::string::npos);
    }
    EXPECT_EQ(Flag("DRUMEL"), q.drill);
    EXPECT_EQ(Text("EXHIBFILE"), q.exhibit);
    for (size_t k = 0; k < 3; ++k) {
      const std::string n = std::to_string(k + 1);
      const samples::Topic* t = k < q.topics.size() ? topics.at(q.topics[k]) : nullptr;
      EXPECT_EQ(Text(("TOPIC" + n).c_str()), t ? Oem(t->title) : "");
      EXPECT_EQ(FileField("TOP" + n + "ACROPG"),
                t ? std::string(5 - std::to_string(t->page).size(), ' ') + std::to_string(t->page)
                  : "     ");
      EXPECT_EQ(FileField("TOP" + n + "HELP"), "     ") << "no help book";
    }
  }
  // The code page itself: micro sign, e acute and u umlaut as OEM bytes.
  for (const auto& [record, bytes] : std::vector<std::pair<int, std::string>>{
           {5, "350 \xE6s"}, {17, "Jos\x82's"}, {38, "Caf\x82 M\x81ller"}}) {
    engine::GO(record);
    EXPECT_NE(RawMemo(Ref("QUESTION")).find(bytes), std::string::npos) << record;
  }
}

TEST_F(DemoFolderTest, ObjectivesDrillSetAndItemKindsAreAsTheDemoShowsThem) {
  const samples::DemoSource source = DemoSource();
  Open();
  const int32_t count = engine::RecCount();
  std::map<std::string, std::vector<int32_t>> by_objective;
  int drill = 0, single = 0, multiple = 0, four = 0, five = 0, long_multiline = 0;
  std::set<std::string> exhibits;
  for (int32_t n = 1; n < count; ++n) {  // the last record is never drawn
    engine::GO(n);
    by_objective[Text("OBJECTIVE")].push_back(n);
    drill += Flag("DRUMEL");
    int correct = 0;
    for (const char* f : {"CHECKA", "CHECKB", "CHECKC", "CHECKD", "CHECKE"}) correct += Flag(f);
    (correct == 1 ? single : multiple) += 1;
    (Ref("ANSWERE") == 0 ? four : five) += 1;
    const Lines question = MemoLines("QUESTION");
    size_t length = 0;
    for (const std::string& line : question) length += line.size();
    long_multiline += question.size() > 1 && length > 254;
    if (!Text("EXHIBFILE").empty()) exhibits.insert(Text("EXHIBFILE"));
  }
  std::map<std::string, size_t> counts;
  for (const samples::Objective& o : source.objectives) {
    counts[o.name] = by_objective.count(Oem(o.name)) ? by_objective[Oem(o.name)].size() : 0;
    by_objective.erase(Oem(o.name));
  }
  EXPECT_TRUE(by_objective.empty()) << "a record names an objective the test does not list";
  EXPECT_EQ(counts, (std::map<std::string, size_t>{
                        {"Network models and the layers of the OSI reference model", 13},
                        {"IP addressing and subnetting", 13},
                        {"Switching, routing and network services", 13},
                        {"Wireless networking", 0},
                        {"Troubleshooting tools", 1}}));
  EXPECT_GT(drill, 0);
  EXPECT_LT(drill, count - 1);
  EXPECT_GT(single, 0);
  EXPECT_GT(multiple, 0);
  EXPECT_GT(four, 0);
  EXPECT_GT(five, 0);
  EXPECT_GT(long_multiline, 0);
  EXPECT_EQ(exhibits,
            (std::set<std::string>{"routing_table.txt", "office_network.bmp", "demo.exe"}));

  // The filler closes the table: no objective, not in the drill set.
  engine::GO(count);
  EXPECT_EQ(Text("OBJECTIVE"), "");
  EXPECT_FALSE(Flag("DRUMEL"));
  EXPECT_FALSE(MemoLines("QUESTION").empty());
}

TEST_F(DemoFolderTest, BookHasOnePageForEveryTopicAtTheTablesPageNumbers) {
  const samples::DemoSource source = DemoSource();
  const std::string pdf = Quoted(dir_ / "NF30125.pdf");
  const int pages = static_cast<int>(source.topics.size()) + 1;
  EXPECT_EQ(pages, 12);

  const RunResult info = RunCommand("pdfinfo " + pdf);
  ASSERT_EQ(info.status, 0) << info.output;
  const std::vector<std::string> properties = FlatLines(info.output);
  for (const std::string& line :
       {"Pages: " + std::to_string(pages), std::string("Page size: 612 x 792 pts (letter)")}) {
    EXPECT_NE(std::find(properties.begin(), properties.end(), line), properties.end())
        << line << "\n"
        << info.output;
  }

  // Every font is embedded: the DejaVu faces the book is written in, no other.
  const RunResult fonts = RunCommand("pdffonts " + pdf);
  ASSERT_EQ(fonts.status, 0) << fonts.output;
  std::set<std::string> names;
  const std::vector<std::string> rows = FlatLines(fonts.output);
  for (size_t i = 2; i < rows.size(); ++i) {
    if (rows[i].empty()) continue;
    std::istringstream row(rows[i]);
    std::vector<std::string> columns;
    for (std::string c; row >> c;) columns.push_back(c);
    ASSERT_GE(columns.size(), 7u) << rows[i];
    names.insert(columns[0]);
    EXPECT_EQ(columns[columns.size() - 5], "yes") << "embedded: " << rows[i];
  }
  EXPECT_EQ(names, (std::set<std::string>{"DejaVuSans", "DejaVuSans-Bold"})) << fonts.output;

  std::vector<std::string> text(static_cast<size_t>(pages) + 1);  // by page number
  for (int page = 1; page <= pages; ++page) {
    const std::string n = std::to_string(page);
    const RunResult r = RunCommand("pdftotext -layout -f " + n + " -l " + n + " " + pdf + " -");
    ASSERT_EQ(r.status, 0) << r.output;
    text[static_cast<size_t>(page)] = r.output;
    EXPECT_NE(Flat(r.output).find("Page " + n + " of " + std::to_string(pages)), std::string::npos)
        << "footer of page " << n;
  }

  // The contents list every topic with its page; each topic's page holds its chapter, title
  // and every paragraph of its text.
  const std::vector<std::string> contents = FlatLines(text[1]);
  EXPECT_EQ(Flat(text[1]).find(source.test.name + " Reference book Contents"), 0u);
  for (const samples::Topic& t : source.topics) {
    SCOPED_TRACE(t.title);
    EXPECT_NE(std::find(contents.begin(), contents.end(), t.title + " " + std::to_string(t.page)),
              contents.end());
    const std::string page = Flat(text[static_cast<size_t>(t.page)]);
    const auto chapter = std::find_if(source.chapters.begin(), source.chapters.end(),
                                      [&](const samples::Chapter& c) { return c.id == t.chapter; });
    EXPECT_EQ(page.find(chapter->title), 0u);
    EXPECT_NE(page.find(t.title), std::string::npos);
    for (const std::string& paragraph : t.text) {
      EXPECT_NE(page.find(Flat(paragraph)), std::string::npos) << paragraph;
    }
  }

  // Every topic the table cites is on the page the table gives.
  std::map<std::string, const samples::Topic*> by_title;
  for (const samples::Topic& t : source.topics) by_title[Oem(t.title)] = &t;
  Open();
  int cited = 0;
  for (engine::GoTop(); !engine::dEOF(); engine::SKIP(1)) {
    for (const char* k : {"1", "2", "3"}) {
      const std::string title = Text((std::string("TOPIC") + k).c_str());
      if (title.empty()) continue;
      const int page = engine::GetI32LE(
          engine::FieldAddress(engine::FieldNo(std::string("TOP") + k + "ACROPG")));
      ASSERT_GE(page, 2);
      ASSERT_LE(page, pages);
      ASSERT_TRUE(by_title.count(title)) << title;
      EXPECT_NE(Flat(text[static_cast<size_t>(page)]).find(by_title[title]->title),
                std::string::npos)
          << title;
      ++cited;
    }
  }
  EXPECT_GT(cited, 40);
}

// A small source in which each case changes one line.
const char kSmallSource[] = R"([test]
base: AB12345
name: Small test
questions: 2
time limit: 10
passing score: 700
show chapter: 1
show links: 1
write scores: 1
book format: Acrobat
[objective]
id: one
name: The one objective
[chapter]
id: c1
title: Chapter 1
[topic]
id: t1
chapter: c1
title: TOPIC_TITLE
text: Some text.
[question]
objective: OBJECTIVE_ID
topics: t1
question: QUESTION_TEXT
A: First
B: ANSWER_B
correct: A
[filler]
question: End.
)";

// A paragraph of `words` words.
std::string LongText(int words) {
  std::string text = "Long";
  for (int i = 1; i < words; ++i) text += " word" + std::to_string(i);
  return text;
}

std::string SmallSource(std::map<std::string, std::string> changes) {
  std::string s = kSmallSource;
  changes.insert({"TOPIC_TITLE", "A topic"});
  changes.insert({"OBJECTIVE_ID", "one"});
  changes.insert({"QUESTION_TEXT", "Which one?"});
  changes.insert({"ANSWER_B", "Second"});
  for (const auto& [from, to] : changes) s.replace(s.find(from), from.size(), to);
  return s;
}

class DemoMakerTest : public testing_support::EngineTest {};

TEST_F(DemoMakerTest, RefusesWhatTheTestFolderCannotHoldAndLeavesTheOldFolder) {
  const std::string folder = dir_ / "demo";
  samples::BuildDemoFolder(samples::ParseSource(SmallSource({})), folder);
  const std::set<std::string> built = FilesBelow(folder);
  ASSERT_TRUE(built.count("AB12345.dbf"));

  struct Case {
    const char* name;
    std::map<std::string, std::string> changes;
    std::vector<std::string> message;  // parts of the error message
  };
  const std::vector<Case> cases = {
      {"character outside code page 437",
       {{"QUESTION_TEXT", "Which one \xE2\x80\x93 really?"}},
       {"question 1 (line 22), QUESTION", "\"\xE2\x80\x93\" (U+2013)", "code page 437"}},
      {"OEM character the ANSI set lacks",
       {{"ANSWER_B", "x \xE2\x89\xA4 y"}},
       {"question 1", "ANSWERB", "\"\xE2\x89\xA4\" (U+2264)", "code page 1252"}},
      {"memo byte that reads as a line break", {{"ANSWER_B", "L\xC3\xACnea"}}, {"ANSWERB", "0x8D"}},
      {"memo line longer than 254", {{"QUESTION_TEXT", std::string(255, 'q')}}, {"at most 254"}},
      {"text longer than its field",
       {{"TOPIC_TITLE", std::string(41, 't')}},
       {"TOPIC1", "holds 40"}},
      {"test name outside code page 1252",
       {{"Small test", "Small \xE2\x89\xA0 test"}},
       {"test definition", "code page 1252"}},
      {"unknown objective", {{"OBJECTIVE_ID", "two"}}, {"question 1", "no objective has the id"}},
      {"topic longer than its page",
       {{"Some text.", LongText(700)}},
       {"topic t1 (line 17)", "does not fit on one page"}},
      {"picture label the font cannot draw",
       {{"[question]",
         "[exhibit]\nfile: p.bmp\npicture:\n| size 20 20\n| text 0 0 A\xE6\xBC\xA2\n[question]"}},
       {"exhibit p.bmp (line 22) command 2", "font has no \"\xE6\xBC\xA2\""}},
      {"program exhibit without the exhibit program",
       {{"[question]", "[exhibit]\nfile: p.exe\nprogram: yes\n[question]"}},
       {"a program exhibit needs the demo exhibit program"}},
      {"program exhibit not named *.exe",
       {{"[question]", "[exhibit]\nfile: p.txt\nprogram: yes\n[question]"}},
       {"line 23", "a program exhibit is named *.exe"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string message;
    try {
      samples::BuildDemoFolder(samples::ParseSource(SmallSource(c.changes)), folder);
    } catch (const samples::DemoError& e) {
      message = e.what();
    }
    ASSERT_FALSE(message.empty()) << "not refused";
    for (const std::string& part : c.message)
      EXPECT_NE(message.find(part), std::string::npos) << message;
    EXPECT_EQ(FilesBelow(folder), built) << "the earlier folder changed";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1)
        << "a staging folder was left";
  }
}

TEST_F(DemoMakerTest, ReplacesOnlyAnEmptyFolderOrAnEarlierBuild) {
  const std::string folder = dir_ / "other";
  fs::create_directory(folder);
  WriteFileBytes(folder + "/keep.txt", "mine");
  EXPECT_THROW(samples::BuildDemoFolder(samples::ParseSource(SmallSource({})), folder),
               samples::DemoError);
  EXPECT_EQ(FilesBelow(folder), std::set<std::string>{"keep.txt"});
}

TEST_F(DemoMakerTest, ProgramExitsWithAnErrorNamingTheQuestionAndTheCharacter) {
  const std::string source = dir_ / "bad.txt";
  WriteFileBytes(source, SmallSource({{"QUESTION_TEXT", "Price in \xE2\x82\xAC?"}}));
  const RunResult r =
      RunCommand(Quoted(PX_MAKE_DEMO) + " " + Quoted(source) + " " + Quoted(dir_ / "demo"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("question 1"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\"\xE2\x82\xAC\" (U+20AC) is not in code page 437"), std::string::npos)
      << r.output;
  EXPECT_FALSE(fs::exists(dir_ / "demo"));
}

}  // namespace
