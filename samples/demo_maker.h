// The demo test's source and question table: reads the readable source of a test (the format
// is described at the top of samples/demo_test.txt), checks it, and makes the test folder's
// text files: the test definition (ANSI, CR LF), the text exhibits and the question table with
// its memo file (dBASE III, plain 512-byte memos, OEM texts with CR LF line ends), written
// through our engine. This part links no Qt; the book, the pictures and the assembly of the
// folder are in demo_book.h, demo_pictures.h and demo_folder.h.
//
// Every text is converted and every limit checked before the first file is written, so a source
// that fails leaves nothing behind. Failures are reported as DemoError, whose message names the
// source line and, for a question, its record number.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf_file.h"
#include "platform/core/code_pages.h"

namespace samples {

class DemoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using Lines = std::vector<std::string>;  // UTF-8 text, one entry per line

struct TestDefinition {
  int line = 0;
  std::string base;  // seven letters or digits
  std::string name;
  int questions = 0;
  int time_limit = 0;
  int passing_score = 0;
  std::string show_chapter, show_links, write_scores;
  std::string book_format;
};

struct Objective {
  int line = 0;
  std::string id, name;
};

struct Chapter {
  int line = 0;
  std::string id, title;
};

struct Topic {
  int line = 0;
  std::string id, chapter, title;
  Lines text;    // paragraphs: lines joined, an empty line between two paragraphs
  int page = 0;  // page of the book, set by ParseSource
};

struct Exhibit {
  int line = 0;
  std::string file;
  bool picture = false;
  bool program = false;  // the demo's own exhibit program (samples/demo_exhibit.cpp)
  Lines text;            // the text exhibit's lines or the picture's drawing commands
};

// Memo texts (question, answers, feedback) are paragraphs: one line of the memo each, an empty
// line between two of them.
struct Question {
  int line = 0;
  int number = 0;  // record number, from 1
  bool filler = false;
  std::string objective;  // objective id; empty for the filler
  Lines question;
  std::array<Lines, 5> answers;
  std::string correct;  // letters of the correct answers, in order ("AC")
  Lines feedback;
  std::vector<std::string> topics;  // topic ids
  std::string chapter;              // chapter id; empty: none
  std::string exhibit;              // exhibit file name; empty: none
  std::string note;
  bool drill = false;
};

struct DemoSource {
  TestDefinition test;
  std::vector<Objective> objectives;
  std::vector<Chapter> chapters;  // in book order
  std::vector<Topic> topics;      // in book order
  std::vector<Exhibit> exhibits;
  std::vector<Question> questions;  // in record order; the filler is last
};

// Parses and checks a source (UTF-8). Resolves the defaults (chapter, note), orders the topics
// as the book prints them and numbers their pages. Throws DemoError.
DemoSource ParseSource(std::string_view text);

// The fields of the question table, in table order.
const std::vector<engine::TFieldDef>& QuestionFields();

// One record of the question table, its texts already in the OEM character set.
struct QuestionRecord {
  std::map<std::string, Lines> memos;        // memo fields with text, by field name
  std::map<std::string, std::string> texts;  // C fields with text
  std::map<std::string, bool> flags;         // every L field
  std::map<std::string, int32_t> numbers;    // N fields with a value; the others stay blank
};

// The records of the question table. Throws DemoError for a text that a code page lacks, a
// memo line the table cannot hold, or a text longer than its field.
std::vector<QuestionRecord> MakeRecords(const DemoSource& source);

// The UTF-8 text in the code page `page`. A character the page lacks (or a control character)
// is refused: the message names `what` and the character.
std::string Encode(std::string_view utf8, platform::CodePage page, const std::string& what);

// File names derived from the base name.
std::string IniFileName(const DemoSource& source);        // NF30125.ini
std::string TableFileName(const DemoSource& source);      // NF30125.dbf
std::string BookFileName(const DemoSource& source);       // NF30125.pdf
std::string ExhibitFolderName(const DemoSource& source);  // EX30125

// The test definition: ANSI bytes with CR LF line ends.
std::string MakeTestDefinition(const DemoSource& source);
// A text exhibit: ANSI bytes with CR LF line ends.
std::string MakeTextExhibit(const Exhibit& exhibit);

// Writes the question table (and its memo file) `path` through the engine. The engine must be
// started; the caller's halt-on-error setting is kept, and failures throw DemoError.
void WriteQuestionTable(const std::vector<QuestionRecord>& records, const std::string& path);

}  // namespace samples
