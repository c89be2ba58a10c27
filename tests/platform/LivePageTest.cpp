#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <memory>

#include "platform/Platform.h"
#include "platform/WorkFolderCleaner.h"
#include "platform/posix/EmulatedActiveDesktop.h"
#include "platform/posix/RegistryWallpaperRefresh.h"
#include "platform_gui/posix/BackgroundLayer.h"
#include "platform_gui/posix/LiveActiveDesktop.h"
#include "platform_gui/posix/LivePageProcess.h"
#include "support/TempFolder.h"
#include "support/TestPlatform.h"

namespace velluma {
namespace {

using test::TempFolder;

struct RecordingPage final : LivePage {
    std::vector<std::string>& log;
    explicit RecordingPage(std::vector<std::string>& l) : log(l) {}
    void show(const std::string& folder, const std::string& page) override {
        log.push_back("show " + folder + " " + page);
    }
    void close() override { log.push_back("close"); }
    std::vector<std::string> foldersInUse() const override { return {}; }
};

TEST(LiveActiveDesktop, PlaysThePageOnlyWhileTheActiveDesktopShowsOne) {
    TempFolder temp;
    Platform platform = test::makeTestPlatform(temp.makeFolder("registry"));
    std::vector<std::string> log;
    LiveActiveDesktop desktop(std::make_unique<EmulatedActiveDesktop>(*platform.registry),
                              std::make_unique<RecordingPage>(log));
    const std::string page = "/opt/V/advThemes/WorkDir/4711/html/index.htm";

    desktop.setDesktopItemOptions({false, true});
    desktop.setWallpaper(page);
    desktop.applyChanges();
    desktop.setDesktopItemOptions({false, false});  // the Active Desktop off
    desktop.applyChanges();
    desktop.setDesktopItemOptions({false, true});  // on again over a picture
    desktop.setWallpaper("/home/u/picture.JPG");
    desktop.applyChanges();
    desktop.setWallpaper("/opt/V/other/Page.HTML");
    desktop.applyChanges();

    EXPECT_EQ(log, (std::vector<std::string>{"show /opt/V/advThemes/WorkDir/4711 " + page, "close",
                                             "close", "show /opt/V/other /opt/V/other/Page.HTML"}));
    // The state itself is kept as before.
    EXPECT_EQ(platform.registry->readString(Hive::CurrentUser, EmulatedActiveDesktop::kGeneralKey,
                                            "Wallpaper"),
              "/opt/V/other/Page.HTML");
}

// A page whose progress the test tells.
struct SettledByHand final : LivePage {
    std::vector<std::string> inUse;
    void show(const std::string&, const std::string&) override {}
    void close() override { inUse.clear(); }
    std::vector<std::string> foldersInUse() const override { return inUse; }
    void settle(std::vector<std::string> folders) {
        inUse = std::move(folders);
        settled();
    }
};

TEST(LiveActiveDesktop, RemovesTheWorkFoldersOfPagesNoLongerNeeded) {
    TempFolder temp;
    Platform platform = test::makeTestPlatform(temp.makeFolder("registry"));
    const std::string root = temp.makeFolder("V/advThemes/WorkDir");
    for (const char* name : {"1", "2", "3", "4"})
        temp.write("V/advThemes/WorkDir/" + std::string(name) + "/index.htm", "x");
    WorkFolderCleaner cleaner(root);
    auto owned = std::make_unique<SettledByHand>();
    SettledByHand& page = *owned;
    LiveActiveDesktop desktop(std::make_unique<EmulatedActiveDesktop>(*platform.registry),
                              std::move(owned), &cleaner);
    auto apply = [&](const std::string& name) {
        desktop.setDesktopItemOptions({false, true});
        desktop.setWallpaper(root + "/" + name + "/index.htm");
        desktop.applyChanges();
    };
    auto left = [&] {
        cleaner.waitUntilDone();
        return test::SortedNames(root);
    };
    using Names = std::vector<std::string>;

    apply("1");
    page.settle({root + "/1"});
    apply("2");
    apply("3");
    page.settle({root + "/1", root + "/3"});    // 2 gave way to 3 while it loaded
    EXPECT_EQ(left(), (Names{"1", "3", "4"}));  // 4 was never played here: not ours to take
    page.settle({root + "/3"});
    EXPECT_EQ(left(), (Names{"3", "4"}));
    apply("4");
    desktop.setDesktopItemOptions({false, false});
    desktop.applyChanges();  // off: the page applied last stays, as the desktop names it
    EXPECT_EQ(left(), (Names{"4"}));
}

// A page program of the test's own: logs what it is told, answers like the real one.
std::string writeFakePageProgram(const TempFolder& temp) {
    const std::string log = temp.file("told.log");
    const std::string path = temp.write("velluma-page", R"(#!/bin/bash
if [[ "$1" == --still ]]; then echo "$@" >> ")" + log + R"("; echo png > "$4"; exit 0; fi
echo "started $$ ${VELLUMA_SHELL_TOKEN:-}" >> ")" + log + R"("
while IFS= read -r line; do
    echo "$line" >> ")" + log + R"("
    [[ "$line" == quit ]] && exit 0
    page=${line#*$'\t'}
    if [[ "$line" == covered* ]]; then continue
    elif [[ "$line" == *nolayer* && -z "${VELLUMA_SHELL_TOKEN:-}" ]]; then echo "error no-desktop-layer"
    elif [[ "$line" == *broken* ]]; then echo "error load failed: $page"
    else echo "shown $page"; fi
done
)");
    ::chmod(path.c_str(), 0755);
    return path;
}

bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(LivePageProcess, TellsThePageProgramAndStartsANewOneAfterItDied) {
    TempFolder temp;
    Platform platform = test::makeTestPlatform(temp.makeFolder("registry"));
    const std::string program = writeFakePageProgram(temp);
    LivePageProcess page(
        program, "/w", temp.file("stills"),
        {*platform.messageBoxes, *platform.registry, *platform.wallpaperRefresh, *platform.screen},
        PageLauncher(PageLauncher::Confinement::Never));
    QSignalSpy reported(&page, &LivePageProcess::reported);

    page.show("/w/1", "/w/1/index.htm");
    ASSERT_TRUE(waitFor([&] { return reported.count() == 1; }));
    const qint64 first = page.processId();
    ::kill(pid_t(first), SIGKILL);  // the page crashed
    ASSERT_TRUE(waitFor([&] { return page.processId() == 0; }));

    page.show("/w/2", "/w/2/sub/index.htm");
    ASSERT_TRUE(waitFor([&] { return reported.count() == 2; }));
    const qint64 second = page.processId();
    EXPECT_NE(second, first);
    page.show("/w/3", "/w/3/index.htm");  // the same program reads every work folder
    ASSERT_TRUE(waitFor([&] { return reported.count() == 3; }));
    EXPECT_EQ(page.processId(), second);
    page.show("/elsewhere", "/elsewhere/index.htm");  // a page of its own: a program of its own
    ASSERT_TRUE(waitFor([&] { return reported.count() == 4; }));
    EXPECT_NE(page.processId(), second);
    page.close();
    EXPECT_EQ(page.processId(), 0);

    const std::string told = test::readFile(temp.file("told.log"));
    EXPECT_NE(told.find("show /w/1\tindex.htm\n"), std::string::npos) << told;
    EXPECT_NE(told.find("show /w/2\tsub/index.htm\nshow /w/3\tindex.htm\nquit\n"),
              std::string::npos)
        << told;
    EXPECT_NE(told.find("show /elsewhere\tindex.htm\nquit\n"), std::string::npos) << told;
    EXPECT_TRUE(dynamic_cast<test::RecordingMessageBoxes&>(*platform.messageBoxes).shown.empty());
}

TEST(LivePageProcess, KnowsWhichFoldersItsPagesStillNeed) {
    TempFolder temp;
    Platform platform = test::makeTestPlatform(temp.makeFolder("registry"));
    LivePageProcess page(
        writeFakePageProgram(temp), "/w", temp.file("stills"),
        {*platform.messageBoxes, *platform.registry, *platform.wallpaperRefresh, *platform.screen},
        PageLauncher(PageLauncher::Confinement::Never));
    int settled = 0;
    page.onSettled([&] { ++settled; });
    using Folders = std::vector<std::string>;

    page.show("/w/1", "/w/1/index.htm");
    EXPECT_EQ(page.foldersInUse(), Folders{"/w/1"});  // asked for, not on screen yet
    ASSERT_TRUE(waitFor([&] { return settled == 1; }));
    EXPECT_EQ(page.foldersInUse(), Folders{"/w/1"});
    // The failure names the page after the reason, ": " within its name or not.
    page.show("/w/2", "/w/2/broken: again.htm");
    ASSERT_TRUE(waitFor([&] { return settled == 2; }));
    EXPECT_EQ(page.foldersInUse(), Folders{"/w/1"});  // the page on screen stays
    // Pages asked for while one loads wait their turn; only the newest is told.
    page.show("/w/3", "/w/3/index.htm");
    page.show("/w/4", "/w/4/index.htm");
    page.show("/w/5", "/w/5/index.htm");
    EXPECT_EQ(page.foldersInUse(), (Folders{"/w/1", "/w/3", "/w/5"}));
    ASSERT_TRUE(waitFor([&] { return page.foldersInUse() == Folders{"/w/5"}; }));
    page.close();
    EXPECT_EQ(page.foldersInUse(), Folders{});
    const std::string told = test::readFile(temp.file("told.log"));
    EXPECT_NE(told.find("show /w/3\tindex.htm\nshow /w/5\tindex.htm\nquit\n"), std::string::npos)
        << told;
}

TEST(LivePageProcess, ShowsAStillWhereTheDesktopHasNoPlaceForAPage) {
    TempFolder temp;
    Platform platform = test::makeTestPlatform(temp.makeFolder("registry"));
    auto& refresh = dynamic_cast<RegistryWallpaperRefresh&>(*platform.wallpaperRefresh);
    auto& messages = dynamic_cast<test::RecordingMessageBoxes&>(*platform.messageBoxes);
    // A desktop of 2732 x 1536 device pixels, whatever Qt's scaled screens say.
    dynamic_cast<test::FakeScreen&>(*platform.screen).size = {2732, 1536};
    LivePageProcess page(writeFakePageProgram(temp), "/w", temp.file("stills"),
                         {messages, *platform.registry, refresh, *platform.screen},
                         PageLauncher(PageLauncher::Confinement::Never));

    page.show("/w/nolayer", "/w/nolayer/index.htm");
    ASSERT_TRUE(waitFor([&] { return refresh.refreshCount() == 1; }));
    page.show("/w/nolayer2", "/w/nolayer2/index.htm");  // straight to a still
    ASSERT_TRUE(waitFor([&] { return refresh.refreshCount() == 2; }));

    const std::string still = temp.file("stills/live-page-still.png");
    EXPECT_EQ(refresh.current().wallpaper, still);
    EXPECT_EQ(test::readFile(still), "png\n");
    EXPECT_EQ(messages.shown.size(), 1u);  // said once
    // Like the live page, the still takes its start page relative to the work folder; it is
    // drawn at the desktop's device-pixel size.
    EXPECT_NE(test::readFile(temp.file("told.log"))
                  .find("--still /w/nolayer2 index.htm " + temp.file("stills/live-page-still.png") +
                        " 2732 1536"),
              std::string::npos);
}

// A shell's background layer that lends its place while `offered`.
struct FakeLayer final : BackgroundLayer {
    bool offered = false;
    bool isCovered = false;
    Setup setup = Setup::Declined;  // what an offer comes to; Ready also offers the place
    std::vector<std::string> claims;
    int releases = 0;
    int offers = 0;

    bool claim(const std::string& token) override {
        claims.push_back(token);
        return offered;
    }
    void release() override { ++releases; }
    bool covered() const override { return isCovered; }
    Setup offerSetup(std::string& note) override {
        ++offers;
        note = setup == Setup::Later ? "at the next login" : "";
        if (setup == Setup::Ready) offered = true;
        return setup;
    }
    void tell(bool covered) {
        isCovered = covered;
        coveredChanged(covered);
    }
};

TEST(LivePageProcess, ClaimsTheShellsPlaceForEachPageProgramWithATokenOfItsOwn) {
    TempFolder temp;
    Platform platform = test::makeTestPlatform(temp.makeFolder("registry"));
    auto layer = std::make_shared<FakeLayer>();
    layer->offered = true;
    layer->isCovered = true;
    LivePageProcess page(writeFakePageProgram(temp), "/w", temp.file("stills"),
                         {*platform.messageBoxes, *platform.registry, *platform.wallpaperRefresh,
                          *platform.screen, layer},
                         PageLauncher(PageLauncher::Confinement::Never));
    QSignalSpy reported(&page, &LivePageProcess::reported);

    page.show("/w/1", "/w/1/index.htm");
    ASSERT_TRUE(waitFor([&] { return reported.count() == 1; }));
    layer->tell(false);
    page.show("/elsewhere", "/elsewhere/index.htm");  // a new page program, a new token
    ASSERT_TRUE(waitFor([&] { return reported.count() == 2; }));
    layer->tell(true);
    page.close();

    ASSERT_EQ(layer->claims.size(), 2u);
    for (const std::string& token : layer->claims) {
        EXPECT_EQ(token.size(), 32u);
        EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << token;
    }
    EXPECT_NE(layer->claims[0], layer->claims[1]);
    EXPECT_EQ(layer->releases, 2);
    const std::string told = test::readFile(temp.file("told.log"));
    // Each program gets its own token, and the covered state as it changes.
    EXPECT_NE(told.find(" " + layer->claims[0] + "\ncovered 1\nshow /w/1\tindex.htm\ncovered 0\n"),
              std::string::npos)
        << told;
    EXPECT_NE(told.find(" " + layer->claims[1] + "\nshow /elsewhere\tindex.htm\ncovered 1\nquit\n"),
              std::string::npos)
        << told;
}

// The offer to set the place up comes once per run; a still stands in unless it is ready.
TEST(LivePageProcess, OffersTheShellsPlaceOnceAndPlaysLiveOnceItIsThere) {
    using Setup = BackgroundLayer::Setup;
    for (const Setup setup : {Setup::Ready, Setup::Later, Setup::Declined}) {
        SCOPED_TRACE(int(setup));
        TempFolder temp;
        Platform platform = test::makeTestPlatform(temp.makeFolder("registry"));
        auto& refresh = dynamic_cast<RegistryWallpaperRefresh&>(*platform.wallpaperRefresh);
        auto& messages = dynamic_cast<test::RecordingMessageBoxes&>(*platform.messageBoxes);
        auto layer = std::make_shared<FakeLayer>();
        layer->setup = setup;
        LivePageProcess page(writeFakePageProgram(temp), "/w", temp.file("stills"),
                             {messages, *platform.registry, refresh, *platform.screen, layer},
                             PageLauncher(PageLauncher::Confinement::Never));
        QSignalSpy reported(&page, &LivePageProcess::reported);

        page.show("/w/nolayer", "/w/nolayer/index.htm");
        if (setup == Setup::Ready) {
            ASSERT_TRUE(waitFor([&] {
                return reported.count() > 0 &&
                       reported.last().at(0).toString().startsWith(QStringLiteral("shown"));
            }));
            EXPECT_EQ(refresh.refreshCount(), 0);
            EXPECT_TRUE(messages.shown.empty());
        } else {
            ASSERT_TRUE(waitFor([&] { return refresh.refreshCount() == 1; }));
            page.show("/w/nolayer2", "/w/nolayer2/index.htm");
            ASSERT_TRUE(waitFor([&] { return refresh.refreshCount() == 2; }));
            ASSERT_EQ(messages.shown.size(), 1u);  // the still, said once, with the note
            EXPECT_EQ(messages.shown[0].text.find("at the next login") != std::string::npos,
                      setup == Setup::Later);
        }
        EXPECT_EQ(layer->offers, 1);
        page.close();
    }
}

TEST(LivePageProcess, GivesThePageProgramTheStartPageRelativeToItsWorkFolder) {
    struct Case {
        const char* folder;
        const char* page;
        const char* expected;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"/w/1", "/w/1/index.htm", "index.htm"},
             {"/w/1", "/w/1/html/sub/index.htm", "html/sub/index.htm"},
             {"/w/1/", "/w/1/index.htm", "index.htm"},
             {"/", "/index.htm", "index.htm"},
             {"/w/1", "index.htm", "index.htm"},
             // Not inside: left as it is, for the page program to refuse.
             {"/w/1", "/w/10/index.htm", "/w/10/index.htm"},
             {"/w/1", "/w/1", "/w/1"},
         })
        EXPECT_EQ(LivePageProcess::pageWithin(c.folder, c.page), c.expected)
            << c.folder << " " << c.page;
}

}  // namespace
}  // namespace velluma
