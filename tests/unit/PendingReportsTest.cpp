#include "core/PendingReports.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace velluma {
namespace {

using ::testing::ElementsAre;

TEST(PendingReportsTest, KeptReportsAreTakenOnceOldestFirst) {
    test::TempFolder folder;
    folder.makeFolder("registry");
    EXPECT_TRUE(takePendingReports(folder.path()).empty());  // nothing kept: no file

    keepReportForNextStart(folder.path(), "The settings could not be saved: disk full.");
    keepReportForNextStart(folder.path(), "two\r\nlines");
    EXPECT_EQ(test::readFile(folder.file("registry/PendingReports.txt")),
              "The settings could not be saved: disk full.\r\ntwo  lines\r\n");

    EXPECT_THAT(takePendingReports(folder.path()),
                ElementsAre("The settings could not be saved: disk full.", "two  lines"));
    EXPECT_FALSE(test::fileExists(folder.file("registry/PendingReports.txt")));
    EXPECT_TRUE(takePendingReports(folder.path()).empty());
}

// A run that fails at every end keeps only the latest reports.
TEST(PendingReportsTest, ManyFailingRunsKeepTheLatestTwenty) {
    test::TempFolder folder;
    folder.makeFolder("registry");
    for (int i = 0; i < 30; ++i) keepReportForNextStart(folder.path(), std::to_string(i));
    const std::vector<std::string> reports = takePendingReports(folder.path());
    ASSERT_EQ(reports.size(), 20u);
    EXPECT_EQ(reports.front(), "10");
    EXPECT_EQ(reports.back(), "29");
}

TEST(PendingReportsTest, AnUnwritableFolderRaisesAnError) {
    test::TempFolder folder;  // no registry folder
    EXPECT_THROW(keepReportForNextStart(folder.path(), "x"), std::runtime_error);
}

}  // namespace
}  // namespace velluma
