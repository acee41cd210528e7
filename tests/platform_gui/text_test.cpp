#include "platform/gui/text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <QFontInfo>
#include <string>

#include "platform/core/code_pages.h"
#include "platform/core/language.h"

namespace platform::gui {
namespace {

// The system's conversion of one byte to UTF-8, or "" when the code page leaves it undefined.
std::string SystemToUtf8(const char* code_page, unsigned char byte) {
  iconv_t cd = iconv_open("UTF-8", code_page);
  if (cd == reinterpret_cast<iconv_t>(-1)) return "?";
  char in[1] = {static_cast<char>(byte)};
  char out[8] = {};
  char* in_ptr = in;
  char* out_ptr = out;
  size_t in_left = 1, out_left = sizeof out;
  size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return "";
  return std::string(out, out_ptr);
}

// Takes the code pages of a Russian or an English user, as the program's start does.
void UseRussianUser(bool russian) {
  platform::SetTestLanguage(russian ? "ru_RU.UTF-8" : "en_US.UTF-8");
  platform::ChooseCodePages();
}

class AnsiText : public ::testing::Test {
 protected:
  void TearDown() override {
    UseRussianUser(false);
    platform::ClearTestLanguage();
  }
};

TEST_F(AnsiText, EveryByteMatchesTheSystemCodePageAndRoundTrips) {
  for (bool russian : {false, true}) {
    UseRussianUser(russian);
    const char* code_page = russian ? "CP1251" : "CP1252";
    for (int b = 0; b < 256; ++b) {
      std::string byte(1, static_cast<char>(b));
      QString text = AnsiToQString(byte);
      ASSERT_EQ(text.size(), 1) << code_page << " byte " << b;
      std::string expected = SystemToUtf8(code_page, static_cast<unsigned char>(b));
      if (expected.empty()) {
        // Undefined in the code page: the control character of the same number.
        EXPECT_EQ(text[0].unicode(), b) << code_page << " byte " << b;
      } else {
        EXPECT_EQ(text.toStdString(), expected) << code_page << " byte " << b;
      }
      EXPECT_EQ(QStringToAnsi(text), byte) << code_page << " byte " << b;
    }
  }
}

TEST_F(AnsiText, TextOutsideTheCodePageBecomesQuestionMarks) {
  struct Case {
    bool russian;
    QString text;
    std::string ansi;
    const char* name;
  };
  const Case cases[] = {
      {false, QString::fromUtf8("Größe €5 – “ok”"),
       "Gr\xF6\xDF"
       "e \x80"
       "5 \x96 \x93ok\x94",
       "western text with cp1252 specials"},
      {false, QString::fromUtf8("Привет"), "??????", "cyrillic outside 1252"},
      {true, QString::fromUtf8("Привет №1"),
       "\xCF\xF0\xE8\xE2\xE5\xF2 \xB9"
       "1",
       "cyrillic in 1251"},
      {true, QString::fromUtf8("Größe"), "Gr??e", "umlaut and sharp s outside 1251"},
      {false, QString::fromUtf8("a😀b日"), "a?b?", "a surrogate pair is one character"},
  };
  for (const Case& c : cases) {
    UseRussianUser(c.russian);
    EXPECT_EQ(QStringToAnsi(c.text), c.ansi) << c.name;
  }
}

TEST(Colors, BgrValuesAndSystemColours) {
  struct Case {
    uint32_t value;
    QColor expected;
    const char* name;
  };
  const Case cases[] = {
      {0x0000FF, QColor(255, 0, 0), "low byte is red"},
      {0x00FFFF, QColor(255, 255, 0), "yellow"},
      {0xFF0000, QColor(0, 0, 255), "high byte is blue"},
      {0xC0C0C0, QColor(192, 192, 192), "silver"},
      {0x8000000F, QColor(192, 192, 192), "button face"},
      {0x80000010, QColor(128, 128, 128), "button shadow"},
      {0x80000014, QColor(255, 255, 255), "button highlight"},
      {0x80000011, QColor(128, 128, 128), "grey text"},
      {0x80000018, QColor(255, 255, 225), "info background"},
      {0x80000063, QColor(), "unknown system colour"},
      {0x1FFFFFFF, QColor(), "none"},
      {0x20000000, QColor(), "default"},
  };
  for (const Case& c : cases) EXPECT_EQ(ColorFromBgr(c.value), c.expected) << c.name;
}

TEST(Fonts, PointsBecomePixelsAt96DpiInDejaVu) {
  const int cases[][2] = {{8, 11}, {9, 12}, {10, 13}, {12, 16}, {14, 19}};
  for (const auto& c : cases) {
    EXPECT_EQ(SansFont(c[0]).pixelSize(), c[1]) << c[0] << " points";
    EXPECT_EQ(MonoFont(c[0]).pixelSize(), c[1]) << c[0] << " points";
  }
  EXPECT_EQ(QFontInfo(SansFont(10)).family(), "DejaVu Sans");
  EXPECT_EQ(QFontInfo(MonoFontPixels(13)).family(), "DejaVu Sans Mono");
  EXPECT_TRUE(QFontInfo(MonoFontPixels(13)).fixedPitch());
}

}  // namespace
}  // namespace platform::gui
