// Points the profile folder (XDG_CONFIG_HOME) and the program path at a test's own folder for
// the object's lifetime, then restores XDG_CONFIG_HOME as it was and the real program path.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

#include "platform/core/paths.h"

namespace testing_support {

class ProfileEnv {
 public:
  ProfileEnv(const std::string& config_home, const std::string& program_path) {
    if (const char* old = ::getenv("XDG_CONFIG_HOME")) saved_xdg_ = old;
    ::setenv("XDG_CONFIG_HOME", config_home.c_str(), 1);
    platform::SetProgramPath(program_path);
  }
  ~ProfileEnv() {
    if (saved_xdg_) {
      ::setenv("XDG_CONFIG_HOME", saved_xdg_->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
    platform::SetProgramPath("");
  }
  ProfileEnv(const ProfileEnv&) = delete;
  ProfileEnv& operator=(const ProfileEnv&) = delete;

 private:
  std::optional<std::string> saved_xdg_;
};

}  // namespace testing_support
