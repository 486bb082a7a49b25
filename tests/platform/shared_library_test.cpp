// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shared_library.h"

#include <gtest/gtest.h>

namespace quavrix {
namespace {

// A missing library or function is a message, not a crash on first use.
TEST(SharedLibrary, MissingLibrariesAndFunctionsSayWhat) {
  SharedLibrary missing("libquavrix-no-such-library.so.9");
  EXPECT_FALSE(missing.loaded());
  EXPECT_NE(missing.error().find("libquavrix-no-such-library.so.9"), std::string::npos);
  int (*function)(int) = nullptr;
  EXPECT_FALSE(missing.find(function, "abs"));

  SharedLibrary c("libc.so.6");
  ASSERT_TRUE(c.loaded()) << c.error();
  ASSERT_TRUE(c.find(function, "abs"));
  EXPECT_EQ(function(-3), 3);
  EXPECT_FALSE(c.find(function, "quavrix_no_such_function"));
  EXPECT_NE(c.error().find("quavrix_no_such_function"), std::string::npos);
}

}  // namespace
}  // namespace quavrix
