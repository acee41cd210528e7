#include "samples/demo_maker.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include "engine/bytes.h"
#include "engine/error.h"
#include "engine/memo_device.h"
#include "engine/work_area.h"

namespace samples {

namespace {

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
  const BlockReader r(b, {"file", "text", "picture", "program"});
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
  if (r.Has("text") + r.Has("picture") + r.Has("program") != 1) {
    throw DemoError(LineRef(b.line) + ": an exhibit has either a text, a picture or a program");
  }
  e.picture = r.Has("picture");
  e.program = r.Has("program");
  if (e.program && r.Single("program", true) != "yes") {
    throw DemoError(LineRef(r.LineOf("program")) + ": \"program\" must be yes");
  }
  const char* what = e.program ? "program" : e.picture ? "picture" : "text";
  const char* extension = e.program ? ".exe" : e.picture ? ".bmp" : ".txt";
  if (kind != extension) {
    throw DemoError(LineRef(r.LineOf("file")) + ": a " + what + " exhibit is named *" + extension);
  }
  if (!e.program) e.text = r.Text(e.picture ? "picture" : "text", true);
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

}  // namespace samples
