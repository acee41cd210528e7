#include "platform/core/profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/core/code_pages.h"
#include "platform/core/dos_error.h"
#include "platform/core/language.h"
#include "platform/core/paths.h"
#include "tests/support/processes.h"
#include "tests/support/profile_env.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using testing_support::ChildProcesses;
using testing_support::Pipe;
using testing_support::ProfileEnv;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// Each test gets its own profile folder and program path, and an English user (ANSI is code
// page 1252) unless it sets another language.
class ProfileTest : public ::testing::Test {
 protected:
  ProfileTest() {
    SetTestLanguage("en_US.UTF-8");
    ChooseCodePages();
  }
  ~ProfileTest() override {
    ClearTestLanguage();
    ChooseCodePages();
  }

  TempDir dir_;
  ProfileEnv profile_env_{dir_ / "config", dir_ / "prog"};
};

bool Exists(const std::string& path) { return PathExists(path); }

// A text with embedded NUL bytes, from a literal.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

const std::string kLongValue(2000, 'v');

const std::string kReadFile =
    "; settings\r\n"
    "[Main]\r\n"
    "Name = Value with blanks   \r\n"
    "Quoted=\"  padded  \"\r\n"
    "Single='x'\r\n"
    "Mismatch=\"abc'\r\n"
    "Empty=\r\n"
    "Dup=first\r\n"
    "DUP=second\r\n"
    "Eq=a=b\r\n"
    "Long=" +
    kLongValue +
    "\r\n"
    "no equals sign here\r\n"
    "\r\n"
    "[main]\r\n"
    "Later=from the second Main\r\n"
    "Dup=third\r\n"
    "[  Spaced Out  ]\n"
    "  key two  =  2\n"
    "\tTabbed\t=\tt\t\n"
    "[Other]\r\n"
    "Name=other";  // no line end at the end of the file

struct ReadCase {
  const char* name;
  const char* section;
  const char* key;
  const char* def;
  std::string expected;
};

TEST_F(ProfileTest, ReadsValuesAsWindowsProfilesDo) {
  std::string file = dir_ / "read.ini";
  WriteFileBytes(file, kReadFile);
  const ReadCase cases[] = {
      {"section and key ignore letter case", "MAIN", "name", "d", "Value with blanks"},
      {"blanks around names are trimmed", "Spaced Out", "key two", "d", "2"},
      {"tabs around names and values are trimmed", "spaced out", "tabbed", "d", "t"},
      {"double quotes are stripped once", "Main", "Quoted", "d", "  padded  "},
      {"single quotes are stripped", "Main", "Single", "d", "x"},
      {"unmatched quotes stay", "Main", "Mismatch", "d", "\"abc'"},
      {"an empty value is not the default", "Main", "Empty", "d", ""},
      {"the first duplicate key wins", "Main", "Dup", "d", "first"},
      {"a repeated section is searched too", "Main", "Later", "d", "from the second Main"},
      {"equals signs in the value stay", "Main", "Eq", "d", "a=b"},
      {"a value is cut at 1023 bytes", "Main", "Long", "d", kLongValue.substr(0, 1023)},
      {"a missing key gives the default", "Main", "Nope", "dflt", "dflt"},
      {"a missing section gives the default", "Nope", "Name", "dflt", "dflt"},
      {"a line without = is no key", "Main", "no equals sign here", "dflt", "dflt"},
      {"a comment is no section", "; settings", "Name", "dflt", "dflt"},
      {"the last line without a line end", "Other", "Name", "d", "other"},
      {"a lookup name with blanks is trimmed", " Other ", " Name ", "d", "other"},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(ReadProfileString(file, c.section, c.key, c.def), c.expected) << c.name;
  }
  EXPECT_EQ(ReadProfileString(dir_ / "missing.ini", "Main", "Name", "dflt"), "dflt");
  EXPECT_EQ(ReadProfileString(dir_.path(), "Main", "Name", "dflt"), "dflt") << "a folder";
}

TEST_F(ProfileTest, NullSectionOrKeyListsNames) {
  std::string file = dir_ / "read.ini";
  WriteFileBytes(file, kReadFile);
  EXPECT_EQ(ReadProfileString(file, std::nullopt, std::nullopt, "d"),
            Bytes("Main\0Spaced Out\0Other\0"));
  EXPECT_EQ(ReadProfileString(file, "main", std::nullopt, "d"),
            Bytes("Name\0Quoted\0Single\0Mismatch\0Empty\0Dup\0Eq\0Long\0Later\0"));
  EXPECT_EQ(ReadProfileString(file, "Nope", std::nullopt, "d"), "");

  std::vector<ProfileEntry> entries = ReadProfileSection(file, "MAIN");
  ASSERT_EQ(entries.size(), 9u);
  EXPECT_EQ(entries[5].key, "Dup");
  EXPECT_EQ(entries[5].value, "first");
  EXPECT_EQ(entries[8].value, "from the second Main");
  EXPECT_TRUE(ReadProfileSection(dir_ / "missing.ini", "Main").empty());
}

struct WriteCase {
  const char* name;
  std::string before;
  std::optional<std::string> section;
  std::optional<std::string> key;
  std::optional<std::string> value;
  std::string after;
};

TEST_F(ProfileTest, WritesChangeOnlyTheirLines) {
  const std::string base = "; top\n[A]\r\nx = 1 \r\nY=2\n\n[B]\r\nz=3\r\n";
  const WriteCase cases[] = {
      {"a key is replaced in place, its spelling kept", base, "a", "X", "9",
       "; top\n[A]\r\nx=9\r\nY=2\n\n[B]\r\nz=3\r\n"},
      {"a new key goes after the section's last line", base, "A", "New", "n",
       "; top\n[A]\r\nx = 1 \r\nY=2\nNew=n\r\n\n[B]\r\nz=3\r\n"},
      {"a new section goes at the end", base, "C", "k", "v", base + "\r\n[C]\r\nk=v\r\n"},
      {"a missing last line end is added", "[A]\r\nx=1", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
      {"a null value erases the key", base, "A", "x", std::nullopt,
       "; top\n[A]\r\nY=2\n\n[B]\r\nz=3\r\n"},
      {"a null key erases the section", base, "a", std::nullopt, std::nullopt,
       "; top\n[B]\r\nz=3\r\n"},
      {"every copy of a repeated section goes", "[A]\r\nx=1\r\n[B]\r\n[a]\r\ny=2\r\n", "A",
       std::nullopt, std::nullopt, "[B]\r\n"},
      {"an unchanged value rewrites nothing", base, "A", "Y", "2", base},
      {"erasing a missing key changes nothing", base, "A", "nope", std::nullopt, base},
      {"a null section does nothing", base, std::nullopt, "x", "5", base},
      {"blanks at the ends are kept by quotes", base, "B", "z", " 3 ",
       "; top\n[A]\r\nx = 1 \r\nY=2\n\n[B]\r\nz=\" 3 \"\r\n"},
      {"a quoted value is quoted again", base, "B", "z", "'q'",
       "; top\n[A]\r\nx = 1 \r\nY=2\n\n[B]\r\nz=\"'q'\"\r\n"},
      {"the first write creates the file", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
  };
  int n = 0;
  for (const WriteCase& c : cases) {
    std::string file = dir_ / ("w" + std::to_string(n++) + ".ini");
    if (!c.before.empty()) WriteFileBytes(file, c.before);
    int code = -1;
    EXPECT_TRUE(WriteProfileString(file, c.section, c.key, c.value, &code)) << c.name;
    EXPECT_EQ(code, 0) << c.name;
    EXPECT_EQ(ReadFileBytes(file), c.after) << c.name;
    if (c.section && c.key && c.value) {
      EXPECT_EQ(ReadProfileString(file, *c.section, *c.key, "d"), *c.value) << c.name;
    }
  }
}

TEST_F(ProfileTest, ValuesReadBackAsWritten) {
  std::string file = dir_ / "round.ini";
  for (std::string value :
       {"  both ends  ", "\"quoted\"", "'", "\"", "''", "a \"mid\" b", "", "\xE4\xF6\xFC ansi"}) {
    ASSERT_TRUE(WriteProfileString(file, "S", "k", value));
    EXPECT_EQ(ReadProfileString(file, "S", "k", "d"), value);
  }
}

struct CaseFoldCase {
  const char* language;
  std::string stored, asked;  // two spellings of a name, in the ANSI code page
  bool same;
};

TEST_F(ProfileTest, NamesIgnoreTheCaseOfTheCodePagesLetters) {
  const CaseFoldCase cases[] = {
      {"en_US.UTF-8", "R\xE9glages", "R\xC9GLAGES", true},            // Réglages
      {"en_US.UTF-8", "\xC0\xDE", "\xE0\xFE", true},                  // Àþ
      {"en_US.UTF-8", "\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", true},  // ŠŒŽŸ
      {"en_US.UTF-8", "\xD7", "\xF7", false},                         // × and ÷ are no letters
      {"en_US.UTF-8", "\xDF", "\xFF", false},                         // ß and ÿ are two letters
      {"ru_RU.UTF-8", "\xCF\xF0\xE8\xE2\xE5\xF2", "\xEF\xD0\xC8\xC2\xC5\xD2", true},  // Привет
      {"ru_RU.UTF-8", "\xD7\xDF", "\xF7\xFF", true},                          // Чя in 1251
      {"ru_RU.UTF-8", "\xA8\xA1\xA5\x80\x8F", "\xB8\xA2\xB4\x90\x9F", true},  // ЁЎҐЂЏ
      {"ru_RU.UTF-8", "\xC0", "a", false},  // Cyrillic А is not Latin a
  };
  int n = 0;
  for (const CaseFoldCase& c : cases) {
    SetTestLanguage(c.language);
    ChooseCodePages();
    std::string file = dir_ / ("case" + std::to_string(n++) + ".ini");
    std::string label = std::string(c.language) + " " + c.stored + "/" + c.asked;
    WriteFileBytes(file, "[" + c.stored + "]\r\n" + c.stored + "=1\r\n");
    EXPECT_EQ(ReadProfileString(file, c.asked, c.stored, "d"), c.same ? "1" : "d") << label;
    EXPECT_EQ(ReadProfileString(file, c.stored, c.asked, "d"), c.same ? "1" : "d") << label;
    ASSERT_TRUE(WriteProfileString(file, c.asked, c.asked, "2")) << label;
    if (c.same) {
      EXPECT_EQ(ReadFileBytes(file), "[" + c.stored + "]\r\n" + c.stored + "=2\r\n") << label;
    }
    ASSERT_TRUE(WriteProfileString(file, c.asked, std::nullopt, std::nullopt)) << label;
    EXPECT_EQ(ReadProfileString(file, std::nullopt, std::nullopt, "d"),
              c.same ? "" : c.stored + '\0')
        << label;
  }
}

// A text in one of the Unicode forms of a profile file, with its byte-order mark.
enum class Form { kUtf8, kUtf16Le, kUtf16Be };

std::string Encode(const std::u16string& text, Form form) {
  std::string out;
  if (form == Form::kUtf8) {
    out = "\xEF\xBB\xBF";
    for (size_t i = 0; i < text.size(); ++i) {
      char32_t c = text[i];
      if (c >= 0xD800 && c < 0xDC00) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if (c < 0x800) {
        out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
      } else if (c < 0x10000) {
        out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                static_cast<char>(0x80 | (c & 0x3F))};
      } else {
        out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
                static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
      }
    }
    return out;
  }
  bool big = form == Form::kUtf16Be;
  out = big ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : text) {
    char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += big ? hi : lo;
    out += big ? lo : hi;
  }
  return out;
}

const struct {
  const char* name;
  Form form;
} kForms[] = {{"UTF-8", Form::kUtf8}, {"UTF-16 LE", Form::kUtf16Le}, {"UTF-16 BE", Form::kUtf16Be}};

const std::u16string kUnicodeFile =
    u"; r\u00E9glages \u65E5\u672C\r\n"
    u"[R\u00E9glages]\r\n"
    u"Nom = Zo\u00EB\r\n"
    u"Japanese=\u65E5\u672C \U0001F600\r\n"
    u"\r\n"
    u"[Other]\n"
    u"Cyrillic=\u041F\u0440\u0438\r\n"
    u"k=v";

TEST_F(ProfileTest, UnicodeFilesReadInTheAnsiCodePage) {
  for (const auto& f : kForms) {
    std::string file = dir_ / "u.ini";
    WriteFileBytes(file, Encode(kUnicodeFile, f.form));
    SetTestLanguage("en_US.UTF-8");
    ChooseCodePages();
    EXPECT_EQ(ReadProfileString(file, "r\xC9GLAGES", "nom", "d"), "Zo\xEB") << f.name;
    EXPECT_EQ(ReadProfileString(file, "R\xE9glages", "Japanese", "d"), "?? ?") << f.name;
    EXPECT_EQ(ReadProfileString(file, "Other", "Cyrillic", "d"), "???") << f.name;
    EXPECT_EQ(ReadProfileString(file, "Other", "k", "d"), "v") << f.name;
    EXPECT_EQ(ReadProfileString(file, std::nullopt, std::nullopt, "d"),
              Bytes("R\xE9glages\0Other\0"))
        << f.name;
    std::vector<ProfileEntry> entries = ReadProfileSection(file, "R\xE9glages");
    ASSERT_EQ(entries.size(), 2u) << f.name;
    EXPECT_EQ(entries[0].key, "Nom");
    EXPECT_EQ(entries[0].value, "Zo\xEB");
    SetTestLanguage("ru_RU.UTF-8");
    ChooseCodePages();
    EXPECT_EQ(ReadProfileString(file, "other", "CYRILLIC", "d"), "\xCF\xF0\xE8") << f.name;
    EXPECT_EQ(ReadProfileString(file, std::nullopt, std::nullopt, "d"), Bytes("R?glages\0Other\0"))
        << f.name;
  }
}

TEST_F(ProfileTest, WritesKeepTheUnicodeFormAndMark) {
  for (const auto& f : kForms) {
    std::string file = dir_ / "u.ini";
    WriteFileBytes(file, Encode(kUnicodeFile, f.form));
    ASSERT_TRUE(WriteProfileString(file, "R\xE9glages", "Nom", "\xC9t\xE9")) << f.name;
    ASSERT_TRUE(WriteProfileString(file, "OTHER", "Cyrillic", std::nullopt)) << f.name;
    ASSERT_TRUE(WriteProfileString(file, "Other", "New", "\x80 5")) << f.name;
    ASSERT_TRUE(WriteProfileSection(file, "L\xFC", {{"a", "\xE4"}})) << f.name;
    ASSERT_TRUE(WriteProfileString(file, "R\xE9glages", "Japanese", "?? ?")) << f.name;
    const std::u16string after =
        u"; r\u00E9glages \u65E5\u672C\r\n"
        u"[R\u00E9glages]\r\n"
        u"Nom=\u00C9t\u00E9\r\n"
        u"Japanese=?? ?\r\n"
        u"\r\n"
        u"[Other]\n"
        u"k=v\r\n"
        u"New=\u20AC 5\r\n"
        u"\r\n"
        u"[L\u00FC]\r\n"
        u"a=\u00E4\r\n";
    EXPECT_EQ(ReadFileBytes(file), Encode(after, f.form)) << f.name;
    EXPECT_EQ(ReadProfileString(file, "R\xE9glages", "Nom", "d"), "\xC9t\xE9") << f.name;

    // Untouched lines keep characters the code page lacks; erasing everything keeps the mark.
    WriteFileBytes(file, Encode(kUnicodeFile, f.form));
    ASSERT_TRUE(WriteProfileString(file, "Other", "k", "w")) << f.name;
    std::u16string changed = kUnicodeFile;
    changed.back() = u'w';
    EXPECT_EQ(ReadFileBytes(file), Encode(changed + u"\r\n", f.form)) << f.name;
    ASSERT_TRUE(WriteProfileString(file, "R\xE9glages", std::nullopt, std::nullopt)) << f.name;
    ASSERT_TRUE(WriteProfileString(file, "Other", std::nullopt, std::nullopt)) << f.name;
    EXPECT_EQ(ReadFileBytes(file), Encode(u"; r\u00E9glages \u65E5\u672C\r\n", f.form)) << f.name;
  }
}

TEST_F(ProfileTest, UnstorableNamesAndValuesAreRefused) {
  std::string file = dir_ / "bad.ini";
  const std::string before = "[S]\r\nk=v\r\n";
  WriteFileBytes(file, before);
  struct Bad {
    const char* name;
    std::string section, key, value;
  } cases[] = {
      {"line feed in a value", "S", "k", "a\nb"},
      {"carriage return in a value", "S", "k", "a\rb"},
      {"NUL in a value", "S", "k", std::string("a\0b", 3)},
      {"bracket in a section", "S]x", "k", "v"},
      {"equals sign in a key", "S", "a=b", "v"},
      {"key that reads as a section", "S", "[T]", "v"},
      {"key that reads as a comment", "S", ";k", "v"},
      {"line feed in a key", "S", "a\nb", "v"},
  };
  for (const Bad& c : cases) {
    int code = 0;
    EXPECT_FALSE(WriteProfileString(file, c.section, c.key, c.value, &code)) << c.name;
    EXPECT_EQ(code, kDosInvalidParameter) << c.name;
    EXPECT_FALSE(WriteProfileSection(file, c.section, {{c.key, c.value}})) << c.name;
  }
  EXPECT_EQ(ReadFileBytes(file), before);
}

TEST_F(ProfileTest, BareNamesLiveInTheProfileFolder) {
  EXPECT_EQ(ProfileDir(), dir_ / "config/practice-exam/");
  EXPECT_EQ(ProfilePath("12345.ini"), dir_ / "config/practice-exam/12345.ini");
  EXPECT_EQ(ProfilePath("sub\\x.ini"), "sub/x.ini");
  EXPECT_EQ(ProfilePath("/abs/x.ini"), "/abs/x.ini");

  ASSERT_TRUE(WriteProfileString("12345.ini", "Scores", "Total", "7"));
  EXPECT_EQ(ReadFileBytes(dir_ / "config/practice-exam/12345.ini"), "[Scores]\r\nTotal=7\r\n");
  EXPECT_EQ(ReadProfileString("12345.ini", "scores", "total", "d"), "7");

  setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", dir_.path().c_str(), 1);
  EXPECT_EQ(ProfileDir(), dir_ / ".config/practice-exam/");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ProfileDir(), dir_ / ".config/practice-exam/");
  setenv("HOME", home.c_str(), 1);
}

TEST_F(ProfileTest, ErasingAMissingFileSucceedsQuietly) {
  // A missing file in an existing folder, in a missing folder, and a bare name whose profile
  // folder does not exist yet: each erase succeeds and creates nothing at all.
  ASSERT_EQ(mkdir((dir_ / "empty").c_str(), 0755), 0);
  for (std::string file :
       {dir_ / "empty/none.ini", dir_ / "nofolder/sub/none.ini", std::string("none.ini")}) {
    int code = -1;
    EXPECT_TRUE(WriteProfileString(file, "S", std::nullopt, std::nullopt, &code)) << file;
    EXPECT_EQ(code, 0) << file;
    EXPECT_TRUE(WriteProfileString(file, "S", "k", std::nullopt, &code)) << file;
    EXPECT_EQ(code, 0) << file;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "empty"));
  EXPECT_FALSE(Exists(dir_ / "nofolder"));
  EXPECT_FALSE(Exists(dir_ / "config"));
}

// The names in a folder.
std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST_F(ProfileTest, WritesLeaveOnlyTheProfileFile) {
  ASSERT_EQ(mkdir((dir_ / "f").c_str(), 0755), 0);
  std::string file = dir_ / "f/p.ini";
  ASSERT_TRUE(WriteProfileString(file, "S", "k", "1"));
  ASSERT_TRUE(WriteProfileString(file, "S", "k", "2"));
  ASSERT_TRUE(WriteProfileString(file, "S", "gone", "x"));
  ASSERT_TRUE(WriteProfileString(file, "S", "gone", std::nullopt));
  ASSERT_TRUE(WriteProfileSection(file, "L", {{"a", "1"}}));
  ASSERT_TRUE(WriteProfileString(file, "L", std::nullopt, std::nullopt));
  EXPECT_EQ(ReadProfileString(file, "S", "k", "d"), "2");
  EXPECT_EQ(Listing(dir_ / "f"), std::set<std::string>{"p.ini"});
  ASSERT_TRUE(WriteProfileString("bare.ini", "S", "k", "v"));
  EXPECT_EQ(Listing(dir_ / "config/practice-exam"), std::set<std::string>{"bare.ini"});
}

TEST_F(ProfileTest, AWriteThatChangesNothingWritesNothing) {
  std::string file = dir_ / "same.ini";
  const std::string before = "[S]\r\nk = v \r\nq=\" x \"\r\n[L]\r\na=1\r\n";
  WriteFileBytes(file, before);
  struct stat old {};
  ASSERT_EQ(stat(file.c_str(), &old), 0);
  EXPECT_TRUE(WriteProfileString(file, "s", "K", "v")) << "the same value in another spelling";
  EXPECT_TRUE(WriteProfileString(file, "S", "q", " x "));
  EXPECT_TRUE(WriteProfileString(file, "S", "none", std::nullopt));
  EXPECT_TRUE(WriteProfileString(file, "None", std::nullopt, std::nullopt));
  EXPECT_TRUE(WriteProfileSection(file, "L", {{"a", "1"}}));
  struct stat now {};
  ASSERT_EQ(stat(file.c_str(), &now), 0);
  EXPECT_EQ(now.st_ino, old.st_ino) << "the file was replaced";
  EXPECT_EQ(ReadFileBytes(file), before);
}

TEST_F(ProfileTest, FailedWriteReturnsFalseAndChangesNothing) {
  std::string plain = dir_ / "plain";
  WriteFileBytes(plain, "not a folder");
  int code = 0;
  EXPECT_FALSE(WriteProfileString(plain + "/x.ini", "S", "k", "v", &code));
  EXPECT_EQ(code, kDosPathNotFound);
  EXPECT_FALSE(WriteProfileSection(plain + "/x.ini", "S", {{"k", "v"}}));
  EXPECT_FALSE(WriteProfileString(plain + "/x.ini", "S", std::nullopt, std::nullopt))
      << "a path through a file is no missing folder";
  EXPECT_FALSE(WriteProfileString(dir_ / "nofolder/x.ini", "S", "k", "v"));
  EXPECT_EQ(ReadFileBytes(plain), "not a folder");
  EXPECT_FALSE(Exists(dir_ / "nofolder"));
}

TEST_F(ProfileTest, WritesKeepModeFollowLinksAndResolveCase) {
  ASSERT_EQ(mkdir((dir_ / "real").c_str(), 0755), 0);
  std::string target = dir_ / "real/target.ini";
  WriteFileBytes(target, "[S]\r\nk=old\r\n");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(symlink("real/target.ini", (dir_ / "link.ini").c_str()), 0);
  WriteFileBytes(target + ".tmp", "stale temporary of a killed writer");

  ASSERT_TRUE(WriteProfileString(dir_ / "link.ini", "S", "k", "new"));
  struct stat st {};
  ASSERT_EQ(lstat((dir_ / "link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFileBytes(target), "[S]\r\nk=new\r\n");
  EXPECT_FALSE(Exists(target + ".tmp"));

  // A name that differs only in case writes the existing file, not a second one.
  ASSERT_TRUE(WriteProfileString(dir_ / "REAL/TARGET.INI", "s", "K", "upper"));
  EXPECT_EQ(ReadFileBytes(target), "[S]\r\nk=upper\r\n");
  EXPECT_FALSE(Exists(dir_ / "REAL"));
}

TEST_F(ProfileTest, SectionReplacementKeepsItsPlace) {
  std::string file = dir_ / "list.ini";
  WriteFileBytes(file, "[A]\r\nold=1\r\nother=2\r\n\r\n[B]\r\nb=1\r\n[a]\r\ndup=3\r\n");
  ASSERT_TRUE(WriteProfileSection(file, "A", {{"ItemCount", "2"}, {"Item0", "x"}, {"Item1", "y"}}));
  EXPECT_EQ(ReadFileBytes(file), "[A]\r\nItemCount=2\r\nItem0=x\r\nItem1=y\r\n\r\n[B]\r\nb=1\r\n");
  ASSERT_TRUE(WriteProfileSection(file, "New", {{"k", "v"}}));
  EXPECT_EQ(ReadProfileString(file, "new", "K", "d"), "v");
  std::string before = ReadFileBytes(file);
  ASSERT_TRUE(WriteProfileSection(file, "New", {{"k", "v"}}));
  EXPECT_EQ(ReadFileBytes(file), before);
}

// --- Several processes -------------------------------------------------------------------

// Reads `n` bytes; false when the pipe ends first.
bool ReadBytes(Pipe& pipe, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char c = 0;
    if (!pipe.Get(&c)) return false;
  }
  return true;
}

// A large file, so that each write takes many system calls; the value of S/K tells which of
// the writes produced it.
const std::string kPadding = [] {
  std::string pad = "[Pad]\r\n";
  for (int i = 0; i < 3000; ++i)
    pad += "P" + std::to_string(i) + "=" + std::string(60, 'p') + "\r\n";
  return pad;
}();

const std::string kValuePrefix = kPadding + "\r\n[S]\r\nK=";

std::string ValueFor(int i) {
  return "v" + std::to_string(i) + ":" + std::string(500, 'a' + i % 26);
}
std::string FileFor(const std::string& value) { return kValuePrefix + value + "\r\n"; }

// True when `bytes` is the whole file of the old value or of one of the child's writes.
bool IsWholeFile(const std::string& bytes) {
  if (bytes == FileFor("old")) return true;
  if (bytes.compare(0, kValuePrefix.size(), kValuePrefix) != 0) return false;
  int i = std::atoi(bytes.c_str() + kValuePrefix.size() + 1);
  return bytes == FileFor(ValueFor(i));
}

TEST_F(ProfileTest, KilledWriterLeavesOldOrNewFile) {
  std::string file = dir_ / "atomic.ini";
  WriteFileBytes(file, FileFor("old"));
  for (int attempt = 0; attempt < 60; ++attempt) {
    Pipe progress;
    ChildProcesses kids;
    const pid_t child = kids.Start(
        [&] {
          progress.CloseRead();
          for (int i = 0;; ++i) {
            if (!WriteProfileString(file, "S", "K", ValueFor(i))) return 2;
            if (!progress.Put(1)) return 3;
          }
        },
        60);
    progress.CloseWrite();
    ASSERT_TRUE(ReadBytes(progress, 1 + attempt % 3));
    // Reading while the child writes moves the kill through its next write, and a reader
    // must never see a cut file either.
    for (int j = 0; j < attempt % 10; ++j) {
      ASSERT_TRUE(IsWholeFile(ReadFileBytes(file))) << "attempt " << attempt << ": a cut read";
    }
    kids.Kill(child);
    kids.Wait(child);

    ASSERT_TRUE(IsWholeFile(ReadFileBytes(file))) << "attempt " << attempt << ": a cut file";
    // The lock died with the writer, and its stale temporary file does not stop the next write.
    ASSERT_TRUE(WriteProfileString(file, "S", "K", "old"));
    ASSERT_EQ(ReadFileBytes(file), FileFor("old"));
  }
  EXPECT_FALSE(Exists(file + ".tmp"));
}

// Two processes write 200 keys each into `file` at once; every key must arrive.
void RunTwoWriters(const std::string& file) {
  Pipe ready, go;
  auto writer = [&](char prefix) {
    return [&, prefix] {
      ready.CloseRead();
      go.CloseWrite();
      if (!ready.Put(1)) return 3;
      if (!go.WaitClosed()) return 4;  // starts when the parent closes the pipe
      for (int i = 0; i < 200; ++i) {
        std::string key = std::string(1, prefix) + std::to_string(i);
        if (!WriteProfileString(file, "Keys", key, std::to_string(i))) return 2;
      }
      return 0;
    };
  };
  ChildProcesses kids;
  const pid_t a = kids.Start(writer('A'), 60);
  const pid_t b = kids.Start(writer('B'), 60);
  ready.CloseWrite();
  go.CloseRead();
  ASSERT_TRUE(ReadBytes(ready, 2));
  go.CloseWrite();
  EXPECT_EQ(kids.Wait(a), 0);
  EXPECT_EQ(kids.Wait(b), 0);

  std::vector<ProfileEntry> entries = ReadProfileSection(file, "Keys");
  EXPECT_EQ(entries.size(), 400u);
  for (char prefix : {'A', 'B'}) {
    for (int i = 0; i < 200; ++i) {
      std::string key = std::string(1, prefix) + std::to_string(i);
      EXPECT_EQ(ReadProfileString(file, "Keys", key, "missing"), std::to_string(i)) << key;
    }
  }
}

TEST_F(ProfileTest, ConcurrentWritersLoseNothing) { RunTwoWriters(dir_ / "shared.ini"); }

TEST_F(ProfileTest, ConcurrentWritersKeepAUnicodeFile) {
  std::string file = dir_ / "shared.ini";
  const std::u16string head = u"[Keep]\r\nName=\u65E5\u672C\r\n";
  WriteFileBytes(file, Encode(head, Form::kUtf16Le));
  RunTwoWriters(file);
  // The whole file is UTF-16 with its mark: the head, then the keys in the order they came.
  std::u16string expected = head + u"\r\n[Keys]\r\n";
  for (const ProfileEntry& e : ReadProfileSection(file, "Keys")) {
    for (char c : e.key + "=" + e.value + "\r\n") expected += static_cast<char16_t>(c);
  }
  EXPECT_EQ(ReadFileBytes(file), Encode(expected, Form::kUtf16Le));
  EXPECT_EQ(ReadProfileString(file, "Keep", "Name", "d"), "??");
}

}  // namespace
}  // namespace platform
