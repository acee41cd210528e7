#include "samples/demo_maker.h"

#include <stdlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include "engine/bytes.h"
#include "engine/engine.h"
#include "engine/error.h"
#include "engine/memo_device.h"
#include "engine/work_area.h"

namespace samples {

namespace {

namespace fs = std::filesystem;
using platform::CodePage;

// ---- Small text helpers ----------------------------------------------------------------

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string LineRef(int line) { return "line " + std::to_string(line); }

std::string QuestionRef(const Question& q) {
  if (q.filler) {
    return "the filler record " + std::to_string(q.number) + " (" + LineRef(q.line) + ")";
  }
  return "question " + std::to_string(q.number) + " (" + LineRef(q.line) + ")";
}

// Decodes UTF-8; nullopt for a malformed sequence.
std::optional<std::u32string> DecodeUtf8(std::string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t cp = 0;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, cp = c & 0x07;
    } else {
      return std::nullopt;
    }
    if (extra > 0 && i + static_cast<size_t>(extra) >= s.size()) return std::nullopt;
    for (int k = 1; k <= extra; ++k) {
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (t & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    out.push_back(cp);
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

std::string EncodeUtf8(char32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (cp >> 18));
    s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

std::string CodePointName(char32_t cp) {
  char hex[16];
  auto [end, ec] = std::to_chars(hex, hex + sizeof(hex), static_cast<uint32_t>(cp), 16);
  (void)ec;
  std::string digits(hex, end);
  for (char& c : digits) c = static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
  while (digits.size() < 4) digits.insert(digits.begin(), '0');
  return "U+" + digits;
}

size_t CharCount(std::string_view utf8) {
  const auto decoded = DecodeUtf8(utf8);
  return decoded ? decoded->size() : utf8.size();
}

const char* PageName(CodePage page) {
  switch (page) {
    case CodePage::k437:
      return "code page 437";
    case CodePage::k1252:
      return "code page 1252";
    case CodePage::k866:
      return "code page 866";
    case CodePage::k1251:
      return "code page 1251";
  }
  return "the code page";
}

// ---- Source blocks ---------------------------------------------------------------------

struct Value {
  int line = 0;
  Lines lines;  // the text after the colon (when not empty), then the continued lines
};

struct Block {
  std::string kind;
  int line = 0;
  std::vector<std::pair<std::string, Value>> keys;  // in source order

  const Value* Find(const std::string& key) const {
    for (const auto& [k, v] : keys) {
      if (k == key) return &v;
    }
    return nullptr;
  }
};

std::vector<Block> ReadBlocks(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<Block> blocks;
  Value* current = nullptr;
  int number = 0;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (!DecodeUtf8(raw)) throw DemoError(LineRef(number) + ": the text is not valid UTF-8");
    if (!raw.empty() && raw[0] == '#') continue;
    const std::string line = Trim(raw);
    if (line.empty()) continue;
    if (line[0] == '|') {
      if (current == nullptr) {
        throw DemoError(LineRef(number) + ": a continued line (\"|\") with no key above it");
      }
      std::string rest = line.substr(1);
      if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
      current->lines.push_back(rest);
      continue;
    }
    if (line.front() == '[' && line.back() == ']') {
      blocks.push_back(Block{Lower(Trim(line.substr(1, line.size() - 2))), number, {}});
      current = nullptr;
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
      throw DemoError(LineRef(number) + ": expected \"key: value\", a \"[block]\" or a \"|\" line");
    }
    if (blocks.empty()) throw DemoError(LineRef(number) + ": a key before the first block");
    Block& block = blocks.back();
    const std::string key = Lower(Trim(line.substr(0, colon)));
    if (block.Find(key)) throw DemoError(LineRef(number) + ": the key \"" + key + "\" is repeated");
    Value value{number, {}};
    const std::string inline_text = Trim(line.substr(colon + 1));
    if (!inline_text.empty()) value.lines.push_back(inline_text);
    block.keys.emplace_back(key, std::move(value));
    current = &block.keys.back().second;
  }
  return blocks;
}

// Typed access to one block's keys; every key must be known to the block's kind.
class BlockReader {
 public:
  BlockReader(const Block& block, std::vector<std::string> known) : block_(block) {
    for (const auto& [key, value] : block.keys) {
      if (std::find(known.begin(), known.end(), key) == known.end()) {
        throw DemoError(LineRef(value.line) + ": [" + block.kind + "] has no key \"" + key + "\"");
      }
    }
  }

  bool Has(const std::string& key) const { return block_.Find(key) != nullptr; }

  const Value& Required(const std::string& key) const {
    const Value* v = block_.Find(key);
    if (v == nullptr) {
      throw DemoError(LineRef(block_.line) + ": [" + block_.kind + "] needs the key \"" + key +
                      "\"");
    }
    return *v;
  }

  Lines Text(const std::string& key, bool required) const {
    if (!required && !Has(key)) return {};
    const Value& v = Required(key);
    Lines lines = v.lines;
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.empty()) throw DemoError(LineRef(v.line) + ": \"" + key + "\" is empty");
    return lines;
  }

  std::string Single(const std::string& key, bool required) const {
    if (!required && !Has(key)) return {};
    const Value& v = Required(key);
    if (v.lines.size() != 1 || v.lines[0].empty()) {
      throw DemoError(LineRef(v.line) + ": \"" + key + "\" takes a value of one line");
    }
    return v.lines[0];
  }

  int Number(const std::string& key, int low, int high) const {
    const std::string text = Single(key, true);
    int n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < low || n > high) {
      throw DemoError(LineRef(Required(key).line) + ": \"" + key +
                      "\" must be a whole number from " + std::to_string(low) + " to " +
                      std::to_string(high));
    }
    return n;
  }

  std::string Switch(const std::string& key) const {
    const std::string text = Single(key, true);
    if (text != "0" && text != "1") {
      throw DemoError(LineRef(Required(key).line) + ": \"" + key + "\" must be 0 or 1");
    }
    return text;
  }

  int LineOf(const std::string& key) const { return Required(key).line; }

 private:
  const Block& block_;
};

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find(',', at);
    if (end == std::string::npos) end = text.size();
    const std::string item = Trim(std::string_view(text).substr(at, end - at));
    if (!item.empty()) items.push_back(item);
    at = end + 1;
  }
  return items;
}

// Paragraphs: the lines of each run joined by blanks, one empty line between two runs.
Lines Paragraphs(const Lines& lines) {
  Lines out;
  std::string paragraph;
  for (const std::string& line : lines) {
    if (line.empty()) {
      if (!paragraph.empty()) out.push_back(paragraph), out.push_back("");
      paragraph.clear();
    } else {
      paragraph += (paragraph.empty() ? "" : " ") + line;
    }
  }
  if (!paragraph.empty()) out.push_back(paragraph);
  while (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

bool IsAsciiAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

std::string NoteFor(size_t correct) {
  static const char* const kWords[] = {"", "one", "two", "three", "four", "five"};
  if (correct == 1) return "Select one answer.";
  return std::string("Select ") + kWords[std::min<size_t>(correct, 5)] + " answers.";
}

void ReadTest(const Block& b, TestDefinition& t) {
  const BlockReader r(b, {"base", "name", "questions", "time limit", "passing score",
                          "show chapter", "show links", "write scores", "book format"});
  t.line = b.line;
  t.base = r.Single("base", true);
  if (t.base.size() != 7 || !std::all_of(t.base.begin(), t.base.end(), IsAsciiAlnum)) {
    throw DemoError(LineRef(r.LineOf("base")) + ": the base name must be seven letters or digits");
  }
  t.name = r.Single("name", true);
  t.questions = r.Number("questions", 1, 9999);
  t.time_limit = r.Number("time limit", 1, 9999);
  t.passing_score = r.Number("passing score", 0, 1000);
  t.show_chapter = r.Switch("show chapter");
  t.show_links = r.Switch("show links");
  t.write_scores = r.Switch("write scores");
  t.book_format = r.Single("book format", true);
  if (t.book_format != "Acrobat") {
    throw DemoError(LineRef(r.LineOf("book format")) +
                    ": the book format must be Acrobat (the generator writes a PDF book)");
  }
}

void ReadQuestion(const Block& b, Question& q) {
  q.line = b.line;
  if (q.filler) {
    const BlockReader r(b, {"question"});
    q.question = Paragraphs(r.Text("question", true));
    return;
  }
  const BlockReader r(b, {"objective", "question", "a", "b", "c", "d", "e", "correct", "feedback",
                          "topics", "chapter", "exhibit", "drill", "note"});
  q.objective = r.Single("objective", true);
  q.question = Paragraphs(r.Text("question", true));
  static const char* const kLetters[] = {"a", "b", "c", "d", "e"};
  for (int i = 0; i < 5; ++i) {
    q.answers[i] = Paragraphs(r.Text(kLetters[i], i < 2));
    if (i > 0 && !q.answers[i].empty() && q.answers[i - 1].empty()) {
      throw DemoError(LineRef(r.LineOf(kLetters[i])) + ": answer " + static_cast<char>('A' + i) +
                      " follows an empty answer " + static_cast<char>('A' + i - 1));
    }
  }
  // The program takes a fifth answer of one character for a four-answer item.
  if (!q.answers[4].empty() && q.answers[4].size() == 1 && CharCount(q.answers[4][0]) < 2) {
    throw DemoError(LineRef(r.LineOf("e")) + ": answer E must be longer than one character");
  }
  const int correct_line = r.LineOf("correct");
  std::string letters;
  for (const std::string& item : SplitList(r.Single("correct", true))) {
    for (char c : item) {
      if (c == ' ') continue;
      const char upper = static_cast<char>(c >= 'a' && c <= 'e' ? c - 'a' + 'A' : c);
      if (upper < 'A' || upper > 'E' || q.answers[upper - 'A'].empty()) {
        throw DemoError(LineRef(correct_line) +
                        ": \"correct\" names no answer of this question: " + std::string(1, c));
      }
      if (letters.find(upper) != std::string::npos) {
        throw DemoError(LineRef(correct_line) + ": \"correct\" names " + std::string(1, upper) +
                        " twice");
      }
      letters += upper;
    }
  }
  if (letters.empty()) throw DemoError(LineRef(correct_line) + ": no correct answer");
  std::sort(letters.begin(), letters.end());
  q.correct = letters;
  q.feedback = Paragraphs(r.Text("feedback", false));
  q.topics = SplitList(r.Single("topics", false));
  if (q.topics.size() > 3) {
    throw DemoError(LineRef(r.LineOf("topics")) + ": a question cites at most three topics");
  }
  q.chapter = r.Single("chapter", false);
  q.exhibit = r.Single("exhibit", false);
  const std::string drill = Lower(r.Single("drill", false));
  if (!drill.empty() && drill != "yes" && drill != "no") {
    throw DemoError(LineRef(r.LineOf("drill")) + ": \"drill\" must be yes or no");
  }
  q.drill = drill == "yes";
  q.note = r.Has("note") ? r.Single("note", true) : NoteFor(q.correct.size());
}

// Checks that the names a question uses exist, and fills in its chapter.
void ResolveQuestion(const DemoSource& s, Question& q) {
  if (q.filler) return;
  const std::string ref = QuestionRef(q);
  const auto objective = std::find_if(s.objectives.begin(), s.objectives.end(),
                                      [&](const Objective& o) { return o.id == q.objective; });
  if (objective == s.objectives.end()) {
    throw DemoError(ref + ": no objective has the id \"" + q.objective + "\"");
  }
  std::set<std::string> seen;
  for (const std::string& id : q.topics) {
    const auto topic =
        std::find_if(s.topics.begin(), s.topics.end(), [&](const Topic& t) { return t.id == id; });
    if (topic == s.topics.end()) throw DemoError(ref + ": no topic has the id \"" + id + "\"");
    if (!seen.insert(id).second) throw DemoError(ref + ": the topic \"" + id + "\" is cited twice");
    if (q.chapter.empty()) q.chapter = topic->chapter;
  }
  if (!q.chapter.empty() && std::none_of(s.chapters.begin(), s.chapters.end(),
                                         [&](const Chapter& c) { return c.id == q.chapter; })) {
    throw DemoError(ref + ": no chapter has the id \"" + q.chapter + "\"");
  }
  if (!q.exhibit.empty() && std::none_of(s.exhibits.begin(), s.exhibits.end(),
                                         [&](const Exhibit& e) { return e.file == q.exhibit; })) {
    throw DemoError(ref + ": no exhibit is named \"" + q.exhibit + "\"");
  }
}

void ReadExhibit(const Block& b, Exhibit& e) {
  const BlockReader r(b, {"file", "text", "picture"});
  e.line = b.line;
  e.file = r.Single("file", true);
  const bool name_ok = e.file.size() <= 20 && e.file.size() > 4 &&
                       std::all_of(e.file.begin(), e.file.end(), [](char c) {
                         return IsAsciiAlnum(c) || c == '_' || c == '-' || c == '.';
                       });
  if (!name_ok) {
    throw DemoError(LineRef(r.LineOf("file")) +
                    ": an exhibit name has at most 20 letters, digits, \"_\", \"-\" or \".\"");
  }
  const std::string kind = Lower(e.file.substr(e.file.size() - 4));
  if (r.Has("text") == r.Has("picture")) {
    throw DemoError(LineRef(b.line) + ": an exhibit has either a text or a picture");
  }
  e.picture = r.Has("picture");
  if (kind != (e.picture ? ".bmp" : ".txt")) {
    throw DemoError(LineRef(r.LineOf("file")) + ": a " + (e.picture ? "picture" : "text") +
                    " exhibit is named *" + (e.picture ? ".bmp" : ".txt"));
  }
  e.text = r.Text(e.picture ? "picture" : "text", true);
}

template <typename T>
void CheckUnique(const std::vector<T>& items, const std::function<std::string(const T&)>& key,
                 const char* what) {
  std::set<std::string> seen;
  for (const T& item : items) {
    if (!seen.insert(key(item)).second) {
      throw DemoError(LineRef(item.line) + ": the " + what + " \"" + key(item) + "\" is repeated");
    }
  }
}

}  // namespace

DemoSource ParseSource(std::string_view text) {
  DemoSource s;
  bool have_test = false;
  std::vector<Topic> topics;
  std::optional<Question> filler;
  for (const Block& b : ReadBlocks(text)) {
    if (filler) {
      throw DemoError(LineRef(b.line) + ": the [filler] block must be the last block");
    }
    if (b.kind == "test") {
      if (have_test) throw DemoError(LineRef(b.line) + ": a second [test] block");
      ReadTest(b, s.test);
      have_test = true;
    } else if (b.kind == "objective") {
      const BlockReader r(b, {"id", "name"});
      s.objectives.push_back({b.line, r.Single("id", true), r.Single("name", true)});
    } else if (b.kind == "chapter") {
      const BlockReader r(b, {"id", "title"});
      s.chapters.push_back({b.line, r.Single("id", true), r.Single("title", true)});
    } else if (b.kind == "topic") {
      const BlockReader r(b, {"id", "chapter", "title", "text"});
      topics.push_back({b.line, r.Single("id", true), r.Single("chapter", true),
                        r.Single("title", true), Paragraphs(r.Text("text", true)), 0});
    } else if (b.kind == "exhibit") {
      ReadExhibit(b, s.exhibits.emplace_back());
    } else if (b.kind == "question" || b.kind == "filler") {
      Question q;
      q.filler = b.kind == "filler";
      ReadQuestion(b, q);
      if (q.filler) {
        filler = std::move(q);
      } else {
        s.questions.push_back(std::move(q));
      }
    } else {
      throw DemoError(LineRef(b.line) + ": unknown block [" + b.kind + "]");
    }
  }
  if (!have_test) throw DemoError("the source has no [test] block");
  if (s.objectives.empty()) throw DemoError("the source has no [objective] block");
  if (s.questions.empty()) throw DemoError("the source has no [question] block");
  if (!filler) throw DemoError("the source has no [filler] block to end the table");
  s.questions.push_back(std::move(*filler));
  for (size_t i = 0; i < s.questions.size(); ++i) s.questions[i].number = static_cast<int>(i + 1);

  CheckUnique<Objective>(
      s.objectives, [](const Objective& o) { return o.id; }, "objective id");
  CheckUnique<Objective>(
      s.objectives, [](const Objective& o) { return o.name; }, "objective name");
  CheckUnique<Chapter>(
      s.chapters, [](const Chapter& c) { return c.id; }, "chapter id");
  CheckUnique<Topic>(
      topics, [](const Topic& t) { return t.id; }, "topic id");
  CheckUnique<Exhibit>(
      s.exhibits, [](const Exhibit& e) { return Lower(e.file); }, "exhibit");

  // The book: the contents page, then the topics chapter by chapter.
  for (const Topic& t : topics) {
    if (std::none_of(s.chapters.begin(), s.chapters.end(),
                     [&](const Chapter& c) { return c.id == t.chapter; })) {
      throw DemoError(LineRef(t.line) + ": no chapter has the id \"" + t.chapter + "\"");
    }
  }
  for (const Chapter& c : s.chapters) {
    for (const Topic& t : topics) {
      if (t.chapter != c.id) continue;
      s.topics.push_back(t);
      s.topics.back().page = static_cast<int>(s.topics.size()) + 1;
    }
  }
  for (Question& q : s.questions) ResolveQuestion(s, q);
  return s;
}

// ---- Code pages ------------------------------------------------------------------------

std::string Encode(std::string_view utf8, CodePage page, const std::string& what) {
  const auto decoded = DecodeUtf8(utf8);
  if (!decoded) throw DemoError(what + ": the text is not valid UTF-8");
  std::string out;
  out.reserve(decoded->size());
  for (char32_t cp : *decoded) {
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) {
      throw DemoError(what + ": the control character " + CodePointName(cp) + " is not allowed");
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
      continue;
    }
    const auto byte =
        cp > 0xFFFF ? std::nullopt : platform::CodePageByte(page, static_cast<char16_t>(cp));
    if (!byte) {
      throw DemoError(what + ": the character \"" + EncodeUtf8(cp) + "\" (" + CodePointName(cp) +
                      ") is not in " + PageName(page));
    }
    out += static_cast<char>(*byte);
  }
  return out;
}

namespace {

// A text of the question table: OEM bytes. The program shows table texts converted to the ANSI
// set, so a character must exist in both pages to reach the screen unchanged.
std::string EncodeTableText(std::string_view utf8, const std::string& what) {
  std::string oem = Encode(utf8, CodePage::k437, what);
  try {
    Encode(utf8, CodePage::k1252, what);
  } catch (const DemoError& e) {
    throw DemoError(std::string(e.what()) + ", in which the program shows the table's texts");
  }
  return oem;
}

// ---- The question table ----------------------------------------------------------------

constexpr size_t kMaxMemoLine = 254;  // longer lines read back as two lines
constexpr char kSoftBreak = '\x8D';   // a memo byte that reads as a line break

Lines MemoLines(const Lines& lines, const std::string& what) {
  Lines out;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line_what = what + " line " + std::to_string(i + 1);
    std::string oem = EncodeTableText(lines[i], line_what);
    if (oem.size() > kMaxMemoLine) {
      throw DemoError(line_what + ": " + std::to_string(oem.size()) +
                      " characters; a memo line holds at most 254 (split the paragraph)");
    }
    if (oem.find(kSoftBreak) != std::string::npos) {
      throw DemoError(line_what +
                      ": the character \"\xC3\xAC\" (U+00EC) cannot be stored in a "
                      "memo (its byte 0x8D marks a line break there)");
    }
    out.push_back(std::move(oem));
  }
  return out;
}

const engine::TFieldDef* FindField(const std::string& name) {
  for (const engine::TFieldDef& f : QuestionFields()) {
    if (f.Name == name) return &f;
  }
  return nullptr;
}

std::string FieldText(std::string_view utf8, const std::string& field, const std::string& what) {
  std::string oem = EncodeTableText(utf8, what + ", " + field);
  const size_t width = FindField(field)->Len;
  if (oem.size() > width) {
    throw DemoError(what + ", " + field + ": the text has " + std::to_string(oem.size()) +
                    " characters; the field holds " + std::to_string(width));
  }
  return oem;
}

}  // namespace

const std::vector<engine::TFieldDef>& QuestionFields() {
  static const std::vector<engine::TFieldDef> kFields = {
      {"QUESTION", 'M', 10, 0},   {"ANSWERA", 'M', 10, 0},   {"ANSWERB", 'M', 10, 0},
      {"ANSWERC", 'M', 10, 0},    {"ANSWERD", 'M', 10, 0},   {"ANSWERE", 'M', 10, 0},
      {"CHECKA", 'L', 1, 0},      {"CHECKB", 'L', 1, 0},     {"CHECKC", 'L', 1, 0},
      {"CHECKD", 'L', 1, 0},      {"CHECKE", 'L', 1, 0},     {"OBJECTIVE", 'C', 60, 0},
      {"EXHIBFILE", 'C', 20, 0},  {"TOPIC1", 'C', 40, 0},    {"TOPIC2", 'C', 40, 0},
      {"TOPIC3", 'C', 40, 0},     {"TOP1HELP", 'N', 5, 0},   {"TOP2HELP", 'N', 5, 0},
      {"TOP3HELP", 'N', 5, 0},    {"TOP1ACROPG", 'N', 5, 0}, {"TOP2ACROPG", 'N', 5, 0},
      {"TOP3ACROPG", 'N', 5, 0},  {"FEEDBACK", 'M', 10, 0},  {"CHAPTER", 'C', 60, 0},
      {"SELECTNOTE", 'C', 60, 0}, {"DRUMEL", 'L', 1, 0},
  };
  return kFields;
}

std::vector<QuestionRecord> MakeRecords(const DemoSource& s) {
  std::vector<QuestionRecord> records;
  for (const Question& q : s.questions) {
    const std::string what = QuestionRef(q);
    QuestionRecord r;
    for (const engine::TFieldDef& f : QuestionFields()) {
      if (f.FieldType == 'L') r.flags[f.Name] = false;
    }
    r.memos["QUESTION"] = MemoLines(q.question, what + ", QUESTION");
    for (int i = 0; i < 5; ++i) {
      const std::string field = std::string("ANSWER") + static_cast<char>('A' + i);
      if (!q.answers[i].empty()) r.memos[field] = MemoLines(q.answers[i], what + ", " + field);
    }
    if (!q.feedback.empty()) r.memos["FEEDBACK"] = MemoLines(q.feedback, what + ", FEEDBACK");
    for (char c : q.correct) r.flags[std::string("CHECK") + c] = true;
    r.flags["DRUMEL"] = q.drill;
    if (!q.objective.empty()) {
      const auto& o = *std::find_if(s.objectives.begin(), s.objectives.end(),
                                    [&](const Objective& x) { return x.id == q.objective; });
      r.texts["OBJECTIVE"] = FieldText(o.name, "OBJECTIVE", what);
    }
    if (!q.exhibit.empty()) r.texts["EXHIBFILE"] = FieldText(q.exhibit, "EXHIBFILE", what);
    for (size_t k = 0; k < q.topics.size(); ++k) {
      const Topic& t = *std::find_if(s.topics.begin(), s.topics.end(),
                                     [&](const Topic& x) { return x.id == q.topics[k]; });
      const std::string n = std::to_string(k + 1);
      r.texts["TOPIC" + n] = FieldText(t.title, "TOPIC" + n, what);
      r.numbers["TOP" + n + "ACROPG"] = t.page;
    }
    if (!q.chapter.empty()) {
      const auto& c = *std::find_if(s.chapters.begin(), s.chapters.end(),
                                    [&](const Chapter& x) { return x.id == q.chapter; });
      r.texts["CHAPTER"] = FieldText(c.title, "CHAPTER", what);
    }
    if (!q.note.empty()) r.texts["SELECTNOTE"] = FieldText(q.note, "SELECTNOTE", what);
    records.push_back(std::move(r));
  }
  return records;
}

namespace {

// Engine settings changed while the table is written, restored afterwards.
class EngineSettings {
 public:
  EngineSettings()
      : abort_(engine::AbortOnError),
        shared_(engine::SharedAccess),
        version_(engine::MemoVersion),
        block_(engine::MemoBlockSize) {
    engine::AbortOnError = false;
    engine::SharedAccess = false;  // the generator has the table to itself
    engine::MemoVersion = 0x83;    // dBASE III with plain memos
    engine::MemoBlockSize = 512;
  }
  ~EngineSettings() {
    engine::AbortOnError = abort_;
    engine::SharedAccess = shared_;
    engine::MemoVersion = version_;
    engine::MemoBlockSize = block_;
  }
  EngineSettings(const EngineSettings&) = delete;
  EngineSettings& operator=(const EngineSettings&) = delete;

 private:
  bool abort_, shared_;
  uint32_t version_;
  uint16_t block_;
};

void CheckEngine(const std::string& what) {
  if (engine::ErrorCode == 0) return;
  const std::string message = engine::ErrorMsg;
  const uint16_t code = engine::ErrorCode;
  engine::ErrorCode = 0;
  throw DemoError(what + ": " + message + " (error " + std::to_string(code) + ")");
}

int32_t WriteMemo(const Lines& lines, const std::string& what) {
  int32_t ref = 0;
  engine::TMemoDevice f;
  if (!f.Assign(ref)) CheckEngine(what);
  int rc = f.Rewrite();
  for (size_t i = 0; rc == 0 && i < lines.size(); ++i) rc = f.WriteLn(lines[i]);
  const int close_rc = f.Close();
  if (rc == 0) rc = close_rc;
  CheckEngine(what);
  if (rc != 0)
    throw DemoError(what + ": the memo was not written (I/O code " + std::to_string(rc) + ")");
  return ref;
}

}  // namespace

void WriteQuestionTable(const std::vector<QuestionRecord>& records, const std::string& path) {
  const EngineSettings settings;
  std::vector<engine::TFieldDef> fields = QuestionFields();
  engine::TDbfFileRec table;
  engine::CreateDBF(table, path, static_cast<uint8_t>(fields.size()), fields);
  CheckEngine("creating " + path);

  engine::USE(path, nullptr, 0);
  CheckEngine("opening " + path);
  struct AreaCloser {
    ~AreaCloser() {
      engine::CloseArea();
      engine::ErrorCode = 0;
    }
  } closer;

  for (size_t i = 0; i < records.size(); ++i) {
    const QuestionRecord& r = records[i];
    const std::string what = "record " + std::to_string(i + 1);
    engine::ClearRecord();
    std::vector<uint8_t> blank_fields;  // fields that stay blank in the file
    for (const engine::TFieldDef& f : fields) {
      const uint8_t n = engine::FieldNo(f.Name);
      uint8_t* slot = engine::FieldAddress(n);
      switch (f.FieldType) {
        case 'M':
          if (r.memos.count(f.Name)) {
            engine::PutI32LE(slot, WriteMemo(r.memos.at(f.Name), what + ", " + f.Name));
          } else {
            blank_fields.push_back(n);
          }
          break;
        case 'C':
          if (r.texts.count(f.Name)) {
            const std::string& text = r.texts.at(f.Name);
            slot[0] = static_cast<uint8_t>(text.size());
            std::copy(text.begin(), text.end(), slot + 1);
          }
          break;
        case 'L':
          slot[0] = r.flags.count(f.Name) && r.flags.at(f.Name) ? 1 : 0;
          break;
        case 'N':
          if (r.numbers.count(f.Name)) {
            engine::PutI32LE(slot, r.numbers.at(f.Name));
          } else {
            blank_fields.push_back(n);
          }
          break;
      }
    }
    engine::Append();
    CheckEngine(what);
    // A number or memo reference without a value is stored as blanks, not as 0.
    for (uint8_t n : blank_fields) {
      engine::Poke(std::string(engine::FieldLen(n), ' '), n, engine::RecNo());
      CheckEngine(what);
    }
  }
  engine::CloseArea();
  CheckEngine("closing " + path);
}

// ---- File names and the test definition ------------------------------------------------

std::string IniFileName(const DemoSource& s) { return s.test.base + ".ini"; }
std::string TableFileName(const DemoSource& s) { return s.test.base + ".dbf"; }
std::string BookFileName(const DemoSource& s) { return s.test.base + ".pdf"; }
std::string ExhibitFolderName(const DemoSource& s) { return "EX" + s.test.base.substr(2); }

std::string MakeTestDefinition(const DemoSource& s) {
  const std::string what = "the test definition (" + LineRef(s.test.line) + ")";
  Lines lines = {
      "[TestInfo]",
      "Test Name=" + Encode(s.test.name, CodePage::k1252, what),
      "Number of Questions=" + std::to_string(s.test.questions),
      "Time Limit=" + std::to_string(s.test.time_limit),
      "Passing Score=" + std::to_string(s.test.passing_score),
      "",
      "[Menu Options]",
      "Show Chapter=" + s.test.show_chapter,
      "Show Links=" + s.test.show_links,
      "Write Scores=" + s.test.write_scores,
      "",
      "[BookFormat]",
      "Format=" + s.test.book_format,
      "",
      "[Objectives]",
      "ObjectiveCount=" + std::to_string(s.objectives.size()),
  };
  for (size_t i = 0; i < s.objectives.size(); ++i) {
    const Objective& o = s.objectives[i];
    lines.push_back(
        "Objective" + std::to_string(i) + "=" +
        Encode(o.name, CodePage::k1252, "objective " + o.id + " (" + LineRef(o.line) + ")"));
  }
  lines.push_back("ObjectiveSel=-1");
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

std::string MakeTextExhibit(const Exhibit& e) {
  std::string out;
  for (size_t i = 0; i < e.text.size(); ++i) {
    out += Encode(e.text[i], CodePage::k1252,
                  "exhibit " + e.file + " (" + LineRef(e.line) + ") line " + std::to_string(i + 1));
    out += "\r\n";
  }
  return out;
}

// ---- Bitmaps ---------------------------------------------------------------------------

namespace {

struct Rgb {
  uint8_t r, g, b;
};

// A point is inside a shape when the predicate holds for it (coordinates in output pixels).
using Shape = std::function<bool(double x, double y)>;

Shape Disc(double cx, double cy, double r) {
  return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

Shape Ring(double cx, double cy, double r, double width) {
  return [=](double x, double y) { return std::fabs(std::hypot(x - cx, y - cy) - r) <= width / 2; };
}

// The outline of an ellipse, the distance to it estimated along the ray from its centre.
Shape EllipseRing(double cx, double cy, double rx, double ry, double width) {
  return [=](double x, double y) {
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx / rx, dy / ry);
    if (d == 0) return false;
    const double ray = std::hypot(dx, dy) / d;  // the ellipse's radius in this direction
    return std::fabs(d - 1) * ray <= width / 2;
  };
}

Shape Segment(double x0, double y0, double x1, double y1, double width) {
  return [=](double x, double y) {
    const double vx = x1 - x0, vy = y1 - y0;
    const double len2 = vx * vx + vy * vy;
    double t = len2 == 0 ? 0 : ((x - x0) * vx + (y - y0) * vy) / len2;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(x - (x0 + t * vx), y - (y0 + t * vy)) <= width / 2;
  };
}

Shape Rect(double x0, double y0, double x1, double y1) {
  return [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

Shape Both(Shape a, Shape b) {
  return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) && b(x, y); };
}

// 5 by 9 glyphs ('#' set): rows 0-6 above the base line, 7 and 8 below it.
struct Glyph {
  char c;
  const char* rows[9];
};

// clang-format off
const Glyph kFont[] = {
  {' ', {".....", ".....", ".....", ".....", ".....", ".....", ".....", ".....", "....."}},
  {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#", ".....", "....."}},
  {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####.", ".....", "....."}},
  {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###.", ".....", "....."}},
  {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####.", ".....", "....."}},
  {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####", ".....", "....."}},
  {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#....", ".....", "....."}},
  {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####", ".....", "....."}},
  {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#", ".....", "....."}},
  {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###.", ".....", "....."}},
  {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##..", ".....", "....."}},
  {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#", ".....", "....."}},
  {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####", ".....", "....."}},
  {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#", ".....", "....."}},
  {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", ".....", "....."}},
  {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###.", ".....", "....."}},
  {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#....", ".....", "....."}},
  {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#", ".....", "....."}},
  {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#", ".....", "....."}},
  {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####.", ".....", "....."}},
  {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", ".....", "....."}},
  {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###.", ".....", "....."}},
  {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#..", ".....", "....."}},
  {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#.", ".....", "....."}},
  {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#", ".....", "....."}},
  {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#..", ".....", "....."}},
  {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####", ".....", "....."}},
  {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####", ".....", "....."}},
  {'b', {"#....", "#....", "#.##.", "##..#", "#...#", "#...#", "####.", ".....", "....."}},
  {'c', {".....", ".....", ".###.", "#....", "#....", "#...#", ".###.", ".....", "....."}},
  {'d', {"....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####", ".....", "....."}},
  {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###.", ".....", "....."}},
  {'f', {"..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#...", ".....", "....."}},
  {'g', {".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
  {'h', {"#....", "#....", "#.##.", "##..#", "#...#", "#...#", "#...#", ".....", "....."}},
  {'i', {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###.", ".....", "....."}},
  {'j', {"...#.", ".....", "..##.", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
  {'k', {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#.", ".....", "....."}},
  {'l', {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###.", ".....", "....."}},
  {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#", ".....", "....."}},
  {'n', {".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#", ".....", "....."}},
  {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###.", ".....", "....."}},
  {'p', {".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."}},
  {'q', {".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", "....#"}},
  {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#....", ".....", "....."}},
  {'s', {".....", ".....", ".###.", "#....", ".###.", "....#", "####.", ".....", "....."}},
  {'t', {".#...", ".#...", "###..", ".#...", ".#...", ".#..#", "..##.", ".....", "....."}},
  {'u', {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#", ".....", "....."}},
  {'v', {".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#..", ".....", "....."}},
  {'w', {".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#.", ".....", "....."}},
  {'x', {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", ".....", "....."}},
  {'y', {".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
  {'z', {".....", ".....", "#####", "...#.", "..#..", ".#...", "#####", ".....", "....."}},
  {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###.", ".....", "....."}},
  {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###.", ".....", "....."}},
  {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####", ".....", "....."}},
  {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###.", ".....", "....."}},
  {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#.", ".....", "....."}},
  {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###.", ".....", "....."}},
  {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###.", ".....", "....."}},
  {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#...", ".....", "....."}},
  {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###.", ".....", "....."}},
  {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##..", ".....", "....."}},
  {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##..", ".....", "....."}},
  {',', {".....", ".....", ".....", ".....", ".....", ".##..", "..#..", ".#...", "....."}},
  {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", ".....", ".....", "....."}},
  {'/', {"....#", "....#", "...#.", "..#..", ".#...", "#....", "#....", ".....", "....."}},
  {'-', {".....", ".....", ".....", "#####", ".....", ".....", ".....", ".....", "....."}},
  {'_', {".....", ".....", ".....", ".....", ".....", ".....", ".....", "#####", "....."}},
  {'(', {"...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#.", ".....", "....."}},
  {')', {".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#...", ".....", "....."}},
  {'[', {".###.", ".#...", ".#...", ".#...", ".#...", ".#...", ".###.", ".....", "....."}},
  {']', {".###.", "...#.", "...#.", "...#.", "...#.", "...#.", ".###.", ".....", "....."}},
  {'=', {".....", ".....", "#####", ".....", "#####", ".....", ".....", ".....", "....."}},
  {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", ".....", ".....", "....."}},
  {'*', {".....", "..#..", "#.#.#", ".###.", "#.#.#", "..#..", ".....", ".....", "....."}},
  {'<', {"...#.", "..#..", ".#...", "#....", ".#...", "..#..", "...#.", ".....", "....."}},
  {'>', {".#...", "..#..", "...#.", "....#", "...#.", "..#..", ".#...", ".....", "....."}},
  {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#..", ".....", "....."}},
  {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#..", ".....", "....."}},
  {'#', {".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#.", ".....", "....."}},
  {'%', {"##..#", "##..#", "...#.", "..#..", ".#...", "#..##", "#..##", ".....", "....."}},
  {'&', {".##..", "#..#.", "#.#..", ".#...", "#.#.#", "#..#.", ".##.#", ".....", "....."}},
  {'@', {".###.", "#...#", "#.###", "#.#.#", "#.###", "#....", ".####", ".....", "....."}},
  {'\'', {"..#..", "..#..", ".#...", ".....", ".....", ".....", ".....", ".....", "....."}},
  {'"', {".#.#.", ".#.#.", ".....", ".....", ".....", ".....", ".....", ".....", "....."}},
};
// clang-format on

const Glyph* FindGlyph(char c) {
  for (const Glyph& g : kFont) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

constexpr int kGlyphAdvance = 6;  // glyph width 5 and one column of space
constexpr int kCapHeight = 7;

// An RGB image drawn with `factor` samples per output pixel in each direction; Reduced()
// averages them into the output image, which smooths the edges of shapes.
class Canvas {
 public:
  Canvas(int width, int height, int factor, Rgb background)
      : w_(width * factor),
        h_(height * factor),
        factor_(factor),
        px_(static_cast<size_t>(w_) * h_, background) {}

  int width() const { return w_ / factor_; }
  int height() const { return h_ / factor_; }

  void Paint(const Shape& shape, Rgb color) {
    for (int y = 0; y < h_; ++y) {
      for (int x = 0; x < w_; ++x) {
        if (shape((x + 0.5) / factor_, (y + 0.5) / factor_)) px_[Index(x, y)] = color;
      }
    }
  }

  // Text in the pixel font with its top left corner at (x, y), each font pixel a square of
  // `scale` output pixels. Only an image of factor 1 takes text.
  void Text(int x, int y, std::string_view text, int scale, Rgb color) {
    for (char c : text) {
      const Glyph* g = FindGlyph(c);
      for (int row = 0; g && row < 9; ++row) {
        for (int col = 0; col < 5; ++col) {
          if (g->rows[row][col] != '#') continue;
          for (int dy = 0; dy < scale; ++dy) {
            for (int dx = 0; dx < scale; ++dx)
              Set(x + col * scale + dx, y + row * scale + dy, color);
          }
        }
      }
      x += kGlyphAdvance * scale;
    }
  }

  Canvas Reduced() const {
    Canvas out(width(), height(), 1, Rgb{0, 0, 0});
    const int n = factor_ * factor_;
    for (int y = 0; y < out.h_; ++y) {
      for (int x = 0; x < out.w_; ++x) {
        int r = 0, g = 0, b = 0;
        for (int sy = 0; sy < factor_; ++sy) {
          for (int sx = 0; sx < factor_; ++sx) {
            const Rgb& p = px_[Index(x * factor_ + sx, y * factor_ + sy)];
            r += p.r, g += p.g, b += p.b;
          }
        }
        out.px_[out.Index(x, y)] =
            Rgb{static_cast<uint8_t>((r + n / 2) / n), static_cast<uint8_t>((g + n / 2) / n),
                static_cast<uint8_t>((b + n / 2) / n)};
      }
    }
    return out;
  }

  // A 24-bit Windows bitmap: rows bottom up, blue-green-red, each padded to four bytes.
  std::string Bmp() const {
    const Canvas image = factor_ == 1 ? *this : Reduced();
    const uint32_t row = (static_cast<uint32_t>(image.w_) * 3 + 3) & ~3u;
    const uint32_t data = row * static_cast<uint32_t>(image.h_);
    std::string out(54 + data, '\0');
    char* p = out.data();
    p[0] = 'B', p[1] = 'M';
    engine::PutU32LE(p + 2, 54 + data);
    engine::PutU32LE(p + 10, 54);
    engine::PutU32LE(p + 14, 40);
    engine::PutU32LE(p + 18, static_cast<uint32_t>(image.w_));
    engine::PutU32LE(p + 22, static_cast<uint32_t>(image.h_));
    engine::PutU16LE(p + 26, 1);
    engine::PutU16LE(p + 28, 24);
    engine::PutU32LE(p + 34, data);
    engine::PutU32LE(p + 38, 2835);  // 72 dots per inch
    engine::PutU32LE(p + 42, 2835);
    for (int y = 0; y < image.h_; ++y) {
      char* r = p + 54 + static_cast<size_t>(image.h_ - 1 - y) * row;
      for (int x = 0; x < image.w_; ++x) {
        const Rgb& c = image.px_[image.Index(x, y)];
        r[3 * x] = static_cast<char>(c.b);
        r[3 * x + 1] = static_cast<char>(c.g);
        r[3 * x + 2] = static_cast<char>(c.r);
      }
    }
    return out;
  }

 private:
  size_t Index(int x, int y) const { return static_cast<size_t>(y) * w_ + x; }
  void Set(int x, int y, Rgb c) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[Index(x, y)] = c;
  }

  int w_, h_, factor_;
  std::vector<Rgb> px_;
};

constexpr Rgb kWhite{255, 255, 255};
constexpr int kLogoWidth = 89, kLogoHeight = 81;

void LogoFrame(Canvas& c) {
  const Rgb frame{196, 206, 222};
  c.Paint(Rect(0, 0, kLogoWidth, 1), frame);
  c.Paint(Rect(0, kLogoHeight - 1, kLogoWidth, kLogoHeight), frame);
  c.Paint(Rect(0, 0, 1, kLogoHeight), frame);
  c.Paint(Rect(kLogoWidth - 1, 0, kLogoWidth, kLogoHeight), frame);
}

// A globe with a network drawn across it.
std::string GlobeLogo() {
  Canvas c(kLogoWidth, kLogoHeight, 4, kWhite);
  const double cx = 44.5, cy = 40.5, r = 29;
  const Shape globe = Disc(cx, cy, r);
  const Rgb grid{150, 192, 232};
  c.Paint(globe, Rgb{34, 97, 168});
  for (double dy : {-14.5, 0.0, 14.5})
    c.Paint(Both(globe, Segment(cx - r, cy + dy, cx + r, cy + dy, 1.4)), grid);
  c.Paint(Both(globe, Segment(cx, cy - r, cx, cy + r, 1.4)), grid);
  for (double rx : {12.0, 22.0}) c.Paint(Both(globe, EllipseRing(cx, cy, rx, r, 1.4)), grid);
  c.Paint(Ring(cx, cy, r, 2.2), Rgb{18, 56, 110});
  const Rgb link{232, 134, 28};
  const double nodes[][2] = {{17, 20}, {73, 27}, {58, 69}, {22, 62}};
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    c.Paint(Segment(nodes[i][0], nodes[i][1], nodes[j][0], nodes[j][1], 2.2), link);
  }
  c.Paint(Segment(nodes[0][0], nodes[0][1], nodes[2][0], nodes[2][1], 1.6), link);
  for (const auto& n : nodes) {
    c.Paint(Disc(n[0], n[1], 5.5), link);
    c.Paint(Disc(n[0], n[1], 2.4), kWhite);
  }
  LogoFrame(c);
  return c.Bmp();
}

// A hub with six nodes around it, joined to it and to their neighbours.
std::string HubLogo() {
  Canvas c(kLogoWidth, kLogoHeight, 4, kWhite);
  const double cx = 44.5, cy = 40.5, r = 27;
  const double pi = std::acos(-1.0);
  double x[6], y[6];
  for (int i = 0; i < 6; ++i) {
    x[i] = cx + r * std::cos(pi / 6 + i * pi / 3);
    y[i] = cy + r * std::sin(pi / 6 + i * pi / 3);
  }
  for (int i = 0; i < 6; ++i) {
    c.Paint(Segment(x[i], y[i], x[(i + 1) % 6], y[(i + 1) % 6], 1.3), Rgb{168, 204, 204});
  }
  for (int i = 0; i < 6; ++i) c.Paint(Segment(cx, cy, x[i], y[i], 2.4), Rgb{46, 128, 128});
  c.Paint(Disc(cx, cy, 10), Rgb{22, 122, 122});
  c.Paint(Ring(cx, cy, 6, 1.6), kWhite);
  for (int i = 0; i < 6; ++i) {
    c.Paint(Disc(x[i], y[i], 6), Rgb{40, 70, 132});
    c.Paint(Disc(x[i], y[i], 2.5), Rgb{236, 164, 52});
  }
  LogoFrame(c);
  return c.Bmp();
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && line[at] == ' ') ++at;
    size_t end = at;
    while (end < line.size() && line[end] != ' ') ++end;
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

}  // namespace

std::string MakeLogo(int n) {
  if (n == 1) return GlobeLogo();
  if (n == 2) return HubLogo();
  throw DemoError("there is no logo " + std::to_string(n));
}

std::string MakePicture(const Exhibit& e) {
  struct Label {
    int x, y;
    std::string text;
  };
  const int scale = 2;
  const Rgb ink{24, 28, 36}, wire{70, 78, 92}, border{40, 72, 124}, fill{222, 235, 250};
  std::optional<Canvas> canvas;
  std::vector<Label> labels;  // drawn after the shapes, sharp on the final image
  for (size_t i = 0; i < e.text.size(); ++i) {
    const std::string what =
        "exhibit " + e.file + " (" + LineRef(e.line) + ") command " + std::to_string(i + 1);
    const std::string& command = e.text[i];
    const std::vector<std::string> words = Words(command);
    if (words.empty()) continue;
    auto number = [&](size_t k) {
      int v = 0;
      if (k >= words.size()) throw DemoError(what + ": \"" + command + "\" lacks a number");
      auto [end, ec] = std::from_chars(words[k].data(), words[k].data() + words[k].size(), v);
      if (ec != std::errc() || end != words[k].data() + words[k].size() || v < 0 || v > 4000) {
        throw DemoError(what + ": \"" + words[k] + "\" is not a coordinate");
      }
      return v;
    };
    // The text after the first `k` words, as written.
    auto rest = [&](size_t k) {
      size_t at = 0;
      for (size_t n = 0; n < k; ++n) {
        at = command.find_first_not_of(' ', at);
        at = command.find(' ', at);
        if (at == std::string::npos) return std::string();
      }
      std::string text = command.substr(at + 1);
      for (char c : text) {
        if (!FindGlyph(c)) {
          throw DemoError(what + ": the picture's font has no \"" + std::string(1, c) + "\"");
        }
      }
      return text;
    };
    if (words[0] == "size") {
      if (canvas) throw DemoError(what + ": a second size");
      const int w = number(1), h = number(2);
      if (w < 16 || h < 16) throw DemoError(what + ": the picture is too small");
      canvas.emplace(w, h, 2, kWhite);
      continue;
    }
    if (!canvas) throw DemoError(what + ": the picture starts with \"size W H\"");
    if (words[0] == "line") {
      canvas->Paint(Segment(number(1), number(2), number(3), number(4), 2.5), wire);
    } else if (words[0] == "box") {
      const int x = number(1), y = number(2), w = number(3), h = number(4);
      canvas->Paint(Rect(x, y, x + w, y + h), border);
      canvas->Paint(Rect(x + 2, y + 2, x + w - 2, y + h - 2), fill);
      const std::string text = rest(5);
      const int tw = static_cast<int>(text.size()) * kGlyphAdvance * scale - scale;
      labels.push_back({x + (w - tw) / 2, y + (h - kCapHeight * scale) / 2, text});
    } else if (words[0] == "text") {
      labels.push_back({number(1), number(2), rest(3)});
    } else {
      throw DemoError(what + ": unknown drawing command \"" + words[0] + "\"");
    }
  }
  if (!canvas) throw DemoError("exhibit " + e.file + " (" + LineRef(e.line) + "): no size");
  Canvas image = canvas->Reduced();
  for (const Label& l : labels) image.Text(l.x, l.y, l.text, scale, ink);
  return image.Bmp();
}

// ---- The book --------------------------------------------------------------------------

namespace {

// Advance widths (1/1000 of the font size) of the standard Helvetica faces for 32 to 126;
// other characters count as 556. Used to break and place lines.
// clang-format off
constexpr uint16_t kHelvetica[95] = {
  278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,
  556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,
  1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,
  667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,
  333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,
  556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};
constexpr uint16_t kHelveticaBold[95] = {
  278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278,
  556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611,
  975, 722, 722, 722, 722, 667, 611, 778, 722, 278, 556, 722, 611, 833, 722, 778,
  667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 333, 278, 333, 584, 556,
  333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556, 278, 889, 611, 611,
  611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584};
// clang-format on

constexpr double kPageWidth = 612, kPageHeight = 792, kMargin = 72;
constexpr double kBottom = 72;  // no body line below this

// Width in points of ANSI text in the regular (F1) or bold (F2) face.
double TextWidth(const std::string& ansi, bool bold, double size) {
  double units = 0;
  for (unsigned char c : ansi) {
    units += c >= 32 && c <= 126 ? (bold ? kHelveticaBold : kHelvetica)[c - 32] : 556;
  }
  return units * size / 1000;
}

std::string PdfString(const std::string& ansi) {
  std::string out = "(";
  for (unsigned char c : ansi) {
    if (c == '(' || c == ')' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 32 || c > 126) {
      char octal[5];
      octal[0] = '\\';
      octal[1] = static_cast<char>('0' + ((c >> 6) & 7));
      octal[2] = static_cast<char>('0' + ((c >> 3) & 7));
      octal[3] = static_cast<char>('0' + (c & 7));
      octal[4] = 0;
      out += octal;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + ")";
}

std::string Num(double v) {
  char text[32];
  auto [end, ec] = std::to_chars(text, text + sizeof(text), std::round(v * 100) / 100,
                                 std::chars_format::fixed, 2);
  (void)ec;
  std::string s(text, end);
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

// The drawing operators of one page.
class Page {
 public:
  void Text(double x, double y, const std::string& ansi, bool bold, double size) {
    ops_ += "BT /" + std::string(bold ? "F2 " : "F1 ") + Num(size) + " Tf " + Num(x) + " " +
            Num(y) + " Td " + PdfString(ansi) + " Tj ET\n";
  }
  void Rule(double y) {
    ops_ += "0.6 w 0.55 g 0.55 G " + Num(kMargin) + " " + Num(y) + " m " +
            Num(kPageWidth - kMargin) + " " + Num(y) + " l S 0 g 0 G\n";
  }
  const std::string& ops() const { return ops_; }

 private:
  std::string ops_;
};

// Breaks ANSI text into lines no wider than `width` points.
std::vector<std::string> Wrap(const std::string& ansi, double width, double size) {
  std::vector<std::string> lines;
  std::string line;
  for (const std::string& word : Words(ansi)) {
    const std::string candidate = line.empty() ? word : line + " " + word;
    if (!line.empty() && TextWidth(candidate, false, size) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

void Footer(Page& page, int number, int count) {
  const std::string text = "Page " + std::to_string(number) + " of " + std::to_string(count);
  page.Text((kPageWidth - TextWidth(text, false, 9)) / 2, 40, text, false, 9);
}

std::string Ansi(const std::string& utf8, const std::string& what) {
  return Encode(utf8, CodePage::k1252, what);
}

}  // namespace

std::string MakeBook(const DemoSource& s) {
  const int count = static_cast<int>(s.topics.size()) + 1;
  std::vector<Page> pages(static_cast<size_t>(count));

  // Page 1: the title and the contents.
  {
    Page& p = pages[0];
    const std::string title = Ansi(s.test.name, "the test name (" + LineRef(s.test.line) + ")");
    double y = 700;
    for (const std::string& line : Wrap(title, kPageWidth - 2 * kMargin, 22)) {
      p.Text(kMargin, y, line, true, 22);
      y -= 28;
    }
    p.Text(kMargin, y - 2, "Reference book", false, 14);
    y -= 50;
    p.Text(kMargin, y, "Contents", true, 14);
    p.Rule(y - 8);
    y -= 30;
    for (const Chapter& c : s.chapters) {
      if (y < kBottom) throw DemoError("the contents of the book do not fit on one page");
      p.Text(kMargin, y, Ansi(c.title, "chapter " + c.id + " (" + LineRef(c.line) + ")"), true, 11);
      y -= 17;
      for (const Topic& t : s.topics) {
        if (t.chapter != c.id) continue;
        if (y < kBottom) throw DemoError("the contents of the book do not fit on one page");
        p.Text(kMargin + 18, y, Ansi(t.title, "topic " + t.id), false, 11);
        const std::string number = std::to_string(t.page);
        p.Text(kPageWidth - kMargin - TextWidth(number, false, 11), y, number, false, 11);
        y -= 16;
      }
      y -= 6;
    }
    Footer(p, 1, count);
  }

  // One page per topic.
  for (const Topic& t : s.topics) {
    const std::string what = "topic " + t.id + " (" + LineRef(t.line) + ")";
    Page& p = pages[static_cast<size_t>(t.page - 1)];
    const auto& chapter = *std::find_if(s.chapters.begin(), s.chapters.end(),
                                        [&](const Chapter& c) { return c.id == t.chapter; });
    p.Text(kMargin, 740, Ansi(chapter.title, what), false, 10);
    p.Rule(732);
    p.Text(kMargin, 700, Ansi(t.title, what), true, 18);
    double y = 668;
    for (const std::string& paragraph : t.text) {
      if (paragraph.empty()) {
        y -= 8;
        continue;
      }
      for (const std::string& line : Wrap(Ansi(paragraph, what), kPageWidth - 2 * kMargin, 11)) {
        if (y < kBottom) throw DemoError(what + ": the text does not fit on one page of the book");
        p.Text(kMargin, y, line, false, 11);
        y -= 15;
      }
    }
    Footer(p, t.page, count);
  }

  // Objects: 1 catalogue, 2 page tree, 3 and 4 the fonts, then each page and its contents.
  std::vector<std::string> objects;
  std::string kids;
  for (int i = 0; i < count; ++i) kids += (i ? " " : "") + std::to_string(5 + 2 * i) + " 0 R";
  objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
  objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>");
  objects.push_back(
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  objects.push_back(
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>");
  for (int i = 0; i < count; ++i) {
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Num(kPageWidth) + " " +
                      Num(kPageHeight) +
                      "] /Resources << /Font << /F1 3 0 R /F2 4 0 R >> >> /Contents " +
                      std::to_string(6 + 2 * i) + " 0 R >>");
    const std::string& ops = pages[static_cast<size_t>(i)].ops();
    objects.push_back("<< /Length " + std::to_string(ops.size()) + " >>\nstream\n" + ops +
                      "endstream");
  }
  std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(out.size());
    out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = out.size();
  out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t offset : offsets) {
    std::string digits = std::to_string(offset);
    out += std::string(10 - digits.size(), '0') + digits + " 00000 n \n";
  }
  out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\n";
  out += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return out;
}

// ---- The test folder -------------------------------------------------------------------

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw DemoError("cannot write " + path.string());
}

}  // namespace

void BuildDemoFolder(const DemoSource& s, const std::string& folder) {
  // Everything is made in memory first, so that a failing source writes nothing.
  const std::vector<QuestionRecord> records = MakeRecords(s);
  std::map<std::string, std::string> files;  // folder-relative name -> bytes
  files[IniFileName(s)] = MakeTestDefinition(s);
  files[BookFileName(s)] = MakeBook(s);
  files["Logo1.bmp"] = MakeLogo(1);
  files["Logo2.bmp"] = MakeLogo(2);
  for (const Exhibit& e : s.exhibits) {
    files[ExhibitFolderName(s) + "/" + e.file] = e.picture ? MakePicture(e) : MakeTextExhibit(e);
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
