#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "formats/ErrnoText.h"

namespace velluma {
namespace {

TEST(ErrnoText, IsTheSystemsText) {
    EXPECT_EQ(errnoText(ENOENT), "No such file or directory");
    EXPECT_EQ(errnoText(ENOSPC), "No space left on device");
    EXPECT_NE(errnoText(98765).find("98765"), std::string::npos);  // unknown: names the number
}

}  // namespace
}  // namespace velluma
