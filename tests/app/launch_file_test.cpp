// LaunchFile: ANSI texts become whole paths, found regardless of case, and reach the services'
// ShellOpen.
#include "app/launch_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/app_context.h"
#include "tests/app/app_fixture.h"

namespace testing_support {
namespace {

class LaunchFileTest : public AppTest {
 protected:
  // The arguments of the one ShellOpen recorded.
  QStringList ShellOpenArgs() {
    const auto calls = services_->CallsOf("ShellOpen");
    EXPECT_EQ(calls.size(), 1u);
    return calls.empty() ? QStringList() : calls.back().args;
  }
};

TEST_F(LaunchFileTest, ALongBookPathReachesTheShellWhole) {
  context_ = std::make_unique<app::TAppContext>();
  context_->Values.AppDir = folder();
  const std::string name = std::string(120 - folder().size() - 4, 'b') + ".pdf";
  WriteFileBytes(folder() + name, "%PDF-1.4\n");
  ASSERT_EQ((folder() + name).size(), 120u);
  EXPECT_EQ(app::LaunchFile(folder() + name, "", "", 5), platform::gui::kShellOk);
  EXPECT_EQ(ShellOpenArgs(), (QStringList{QString::fromStdString(folder() + name), "", "", "5"}));
}

TEST_F(LaunchFileTest, TextsAreAnsiAfterTheProgramsFolderAndFoundRegardlessOfCase) {
  // The program's folder holds a character outside ASCII, as file-system (UTF-8) bytes.
  const std::string app_dir = folder() +
                              "Pr\xC3\xBC"
                              "fung/";
  std::filesystem::create_directories(app_dir + "EX12345");
  WriteFileBytes(app_dir + "EX12345/Caf\xC3\xA9.TXT", "text");
  context_ = std::make_unique<app::TAppContext>();
  context_->Values.AppDir = app_dir;
  EXPECT_EQ(app::LaunchFile(app_dir + "ex12345/caf\xE9.txt", "-x \xE9", app_dir + "ex12345", 5),
            platform::gui::kShellOk);
  const QString dir = QString::fromUtf8(app_dir.c_str()) + "EX12345";
  EXPECT_EQ(ShellOpenArgs(), (QStringList{dir + QString::fromUtf8("/Café.TXT"),
                                          QString::fromUtf8("-x é"), dir, "5"}));
}

TEST_F(LaunchFileTest, AFailureIsTheShellsCode) {
  context_ = std::make_unique<app::TAppContext>();
  context_->Values.AppDir = folder();
  services_->set_shell_open_result(platform::gui::kShellFileNotFound);
  EXPECT_EQ(app::LaunchFile(folder() + "missing.pdf", "", "", 5),
            platform::gui::kShellFileNotFound);
  EXPECT_EQ(ShellOpenArgs()[0], QString::fromStdString(folder() + "missing.pdf"));
}

}  // namespace
}  // namespace testing_support
