// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program looks for its shipped files and keeps the person's own.

#include "platform/program_folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "support/temp_dir.h"

namespace quavrix {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ProgramFolders, ShippedFilesComeFromTheInstallsShareFolderElseBesideTheProgram) {
  test::TempDir dir;
  fs::create_directories(dir.file("usr/bin"));
  fs::create_directories(dir.file("usr/share/quavrix"));
  fs::create_directories(dir.file("build/bin"));
  EXPECT_EQ(programDataFolder(dir.file("usr/bin/")), dir.file("usr/share/quavrix/"));
  EXPECT_EQ(programDataFolder(dir.file("build/bin/")), dir.file("build/bin/"));
}

TEST(ProgramFolders, ThePersonsFolderFollowsTheConfigurationConvention) {
  struct Case {
    const char* xdg;
    const char* home;
    std::string expected;
  };
  for (const Case& c : {Case{"/x/cfg", "/home/me", "/x/cfg/quavrix/"},
                        Case{"/x/cfg/", "/home/me", "/x/cfg/quavrix/"},
                        Case{nullptr, "/home/me", "/home/me/.config/quavrix/"},
                        Case{"", "/home/me/", "/home/me/.config/quavrix/"},
                        Case{"relative/cfg", "/home/me", "/home/me/.config/quavrix/"}}) {
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(userConfigFolder(), c.expected) << (c.xdg ? c.xdg : "(unset)");
  }
}

TEST(ProgramFolders, MakeFolderCreatesParentsAndSaysWhyItCannot) {
  test::TempDir dir;
  EXPECT_TRUE(makeFolder(dir.file("a/b/quavrix/")));
  EXPECT_TRUE(fs::is_directory(dir.file("a/b/quavrix")));
  EXPECT_TRUE(makeFolder(dir.file("a/b/quavrix/")));  // already there
  std::ofstream(dir.file("file")) << "x";
  std::string reason;
  EXPECT_FALSE(makeFolder(dir.file("file/quavrix/"), &reason));
  EXPECT_FALSE(reason.empty());
}

}  // namespace
}  // namespace quavrix
