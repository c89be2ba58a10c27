// The theme library page and the theme report on the real window.
#include <fcntl.h>
#include <sys/stat.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <map>

#include "themes/DesktopComponents.h"
#include "themes/ThemeFiles.h"
#include "themes/ZipArchive.h"
#include "ui/ReportPage.h"
#include "ui/ThemeLibraryPage.h"
#include "ui/ThemeRows.h"
#include "ui/WindowFixture.h"

namespace velluma {
namespace {

const char* kGamma =
    "[LANGUAGE_NAME]\r\nname=Gamma\r\n"
    "[STATUS_BAR]\r\nmsg0=Themes\r\nmsg1=Current\r\nmsg2=Searching\r\nmsg3=Applying\r\n"
    "msg8=Theme mode\r\n"
    "[PAGES_ARTICLES]\r\np4=Report\r\n"
    "[BUTTONS_CAPTIONS]\r\nbc1=Installed themes\r\n"
    "[PAGE_QUILLORY]\r\nlvcolumn0=Theme\r\nlvcolumn1=Added\r\nlvcolumn2=File\r\n"
    "barbtn0=Apply\r\nbarbtn1=Import\r\nbarbtn2=Recycle\r\nbarbtn3=Delete\r\nbarbtn4=Build\r\n"
    "barbtn5=Report\r\nbarbtn6=Download\r\nbarbtn7=Recycle bin\r\n"
    "bRemovePM0=Move to bin\r\nbRemovePM1=Restore\r\nfilter0=Theme packages\r\n"
    "[STYLES]\r\ns0=Classic\r\ns1=Abstract\r\ns2=Nature\r\ns3=Technology\r\ns4=Other\r\n"
    "[PAGE_REPORT]\r\nr0=Name\r\nr1=Author\r\nr2=Style\r\nr3=Description\r\nr4=File\r\n"
    "r6=Back\r\n";

// 2021-03-01, 2022-06-15 and 2023-11-30 at noon (UTC).
constexpr std::time_t kMarch2021 = 1614600000;
constexpr std::time_t kJune2022 = 1655294400;
constexpr std::time_t kNovember2023 = 1701345600;

bool folderEmpty(const std::string& path) {
    return std::filesystem::is_empty(path);
}

std::string configText(const std::string& name, int style) {
    return "[Name]\r\nThemeName=" + name + "\r\n[Style]\r\nindex=" + std::to_string(style) +
           "\r\n[Files]\r\nstartup=\\index.htm\r\n";
}

class ThemeLibraryPageTest : public test::WindowFixture {
protected:
    ThemeLibraryPageTest() {
        folder.write("Languages/gamma.lng", kGamma);
        folder.makeFolder("advThemes/Recycled");
        folder.makeFolder("advThemes/WorkDir");
        platform.registry->createKey(Hive::ClassesRoot, kActiveDesktopClassKey);
        platform.registry->createKey(Hive::ClassesRoot, kFlashPlayerClassKey);
        settings.options.Enabled = false;
    }

    /// A package at relative (under the program folder) with the given descriptor.
    std::string packageWithConfig(const std::string& relative, const std::string& config,
                                  std::time_t modified = kJune2022) {
        const std::string path = folder.file(relative);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::vector<ZipInput> entries;
        if (!config.empty()) entries.push_back(ZipInput::data("theme.cfg", config));
        entries.push_back(ZipInput::data("index.htm", "<html><body>theme</body></html>"));
        writeZipArchive(path, entries);
        const timespec times[2] = {{modified, 0}, {modified, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        return path;
    }
    std::string package(const std::string& relative, const std::string& name, int style = 0,
                        std::time_t modified = kJune2022) {
        return packageWithConfig(relative, configText(name, style), modified);
    }
    std::string library(const std::string& file) { return folder.file("advThemes/" + file); }
    std::string recycled(const std::string& file) {
        return folder.file("advThemes/Recycled/" + file);
    }

    /// A new window on the files and settings as the test left them, shown and active.
    void start(bool show = true) {
        window.reset();
        settings.options.LanguageFileName = folder.file("Languages/gamma.lng");
        window = std::make_unique<TfMain>(*context);
        libraryPage = window->themePage();
        list = libraryPage->lvAdvanc();
        if (show) {
            window->show();
            QApplication::setActiveWindow(window.get());
            ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
            list->setFocus();
            ASSERT_TRUE(list->hasFocus());
        }
    }

    std::vector<std::string> captions() {
        std::vector<std::string> result;
        for (int i = 0; i < libraryPage->rows().rowCount(); ++i)
            result.push_back(libraryPage->rows().row(i).caption);
        return result;
    }
    std::vector<int> selected() { return libraryPage->rows().selectedRows(); }
    void select(std::initializer_list<int> rows) {
        list->clearSelection();
        for (int r : rows) libraryPage->rows().selectRow(r);
    }
    int rowOf(const std::string& caption) {
        for (int i = 0; i < libraryPage->rows().rowCount(); ++i)
            if (libraryPage->rows().row(i).caption == caption) return i;
        return -1;
    }
    void clickHeader(int column) {
        QHeaderView* header = list->header();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
    }
    QToolButton* button(const char* name) { return child<QToolButton>(name); }
    QAction* action(const char* name) {
        return window->findChild<QAction*>(QString::fromLatin1(name));
    }
    test::NextAnswerFileDialogs& dialogs() {
        return static_cast<test::NextAnswerFileDialogs&>(*platform.fileDialogs);
    }
    void key(int k, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(list, static_cast<Qt::Key>(k), modifiers);
    }
    void drop(const QStringList& names) {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& n : names) urls.push_back(QUrl::fromLocalFile(n));
        data->setUrls(urls);
        const QPoint at = list->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(list->viewport(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(list->viewport(), &dropped);
        delete data;
    }

    ThemeLibraryPage* libraryPage = nullptr;
    QTreeWidget* list = nullptr;
};

// --- Filling and sorting ---------------------------------------------------------------

TEST_F(ThemeLibraryPageTest, StartupListsTheLibraryByNameWithStyleImages) {
    package("advThemes/b.tvp", "Beta", 3);
    package("advThemes/a.tvp", "Alpha", 1);
    package("advThemes/Recycled/r.tvp", "Gone");
    folder.write("advThemes/notes.txt", "not a package");
    start(false);
    EXPECT_EQ(captions(), (std::vector<std::string>{"Alpha", "Beta"}));
    const ThemeRow alpha = libraryPage->rows().row(0);
    EXPECT_EQ(alpha.path, library("a.tvp"));
    EXPECT_EQ(alpha.imageIndex, 1);
    EXPECT_EQ(list->topLevelItem(0)->text(2), QString::fromStdString(library("a.tvp")));
    EXPECT_FALSE(list->topLevelItem(0)->icon(0).isNull());
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("Added"));
    EXPECT_EQ(child<QLabel>("lbThemeBarCaption")->text(), QStringLiteral("  Installed themes"));
    EXPECT_EQ(libraryPage->headerImage(0), 6);
    EXPECT_EQ(libraryPage->headerImage(1), -1);
    EXPECT_EQ(settings.options.lvadvSortType, 0);
    EXPECT_EQ(window->desktop().themeList(), &libraryPage->themeList());
}

// A plain library is read while the window is built; one that holds a package to import or
// to convert is scanned as before. Either way the rows and the current theme's selection
// are the scan's.
TEST_F(ThemeLibraryPageTest, StartupListsWhatTheScanLists) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::vector<std::string> captions;
    };
    const Case cases[] = {
        {"plain library",
         [&] {
             package("advThemes/b.tvp", "Beta", 2);
             folder.write("advThemes/broken.tvp", "not an archive");
             folder.write("advThemes/WorkDir/1/theme.cfg", "[Name]\r\nThemeName=Staged\r\n");
         },
         {"Alpha", "Beta"}},
        {"package in a subfolder",
         [&] { package("advThemes/sub/c.tvp", "Gamma"); },
         {"Alpha", "Gamma"}},
        {"bare Flash package",
         [&] { packageWithConfig("advThemes/bare.tvp", "[Files]\r\nFlashMovie=m.swf\r\n"); },
         {"Alpha", "No name"}},
    };
    const std::map<std::string, int> styles = {
        {"Alpha", 1}, {"Beta", 2}, {"Gamma", 0}, {"No name", 0}};
    for (const Case& c : cases) {
        window.reset();
        std::filesystem::remove_all(folder.file("advThemes"));
        folder.makeFolder("advThemes/Recycled");
        folder.makeFolder("advThemes/WorkDir");
        package("advThemes/a.tvp", "Alpha", 1);
        c.arrange();
        settings.cadvTheme = library("a.tvp");
        start(false);
        EXPECT_EQ(captions(), c.captions) << c.what;
        EXPECT_EQ(selected(), std::vector<int>{rowOf("Alpha")}) << c.what;
        // Every row names a package of the library itself; a converted one has style 0.
        for (int i = 0; i < libraryPage->rows().rowCount(); ++i) {
            const ThemeRow row = libraryPage->rows().row(i);
            EXPECT_EQ(std::filesystem::path(row.path).parent_path(), folder.file("advThemes"))
                << c.what;
            EXPECT_TRUE(test::fileExists(row.path)) << c.what;
            EXPECT_EQ(row.imageIndex, styles.at(row.caption)) << c.what << ": " << row.caption;
        }
    }
}

TEST_F(ThemeLibraryPageTest, FirstClickOnColumnOneSortsByDateAscendingSecondDescending) {
    package("advThemes/a.tvp", "Middle", 0, kJune2022);
    package("advThemes/b.tvp", "Newest", 0, kNovember2023);
    package("advThemes/c.tvp", "Oldest", 0, kMarch2021);
    start();
    EXPECT_EQ(captions(), (std::vector<std::string>{"Middle", "Newest", "Oldest"}));
    EXPECT_EQ(libraryPage->headerImage(1), -1);  // no mark before the first click

    clickHeader(1);
    EXPECT_EQ(captions(), (std::vector<std::string>{"Oldest", "Middle", "Newest"}));
    EXPECT_EQ(libraryPage->headerImage(1), 6);
    EXPECT_EQ(libraryPage->headerImage(0), -1);
    EXPECT_EQ(settings.options.lvadvSortType, 2);

    clickHeader(1);
    EXPECT_EQ(captions(), (std::vector<std::string>{"Newest", "Middle", "Oldest"}));
    EXPECT_EQ(libraryPage->headerImage(1), 7);
    EXPECT_EQ(settings.options.lvadvSortType, 3);
    EXPECT_FALSE(list->headerItem()->icon(1).isNull());
    EXPECT_TRUE(list->headerItem()->icon(0).isNull());
    EXPECT_TRUE(list->headerItem()->icon(2).isNull());
}

TEST_F(ThemeLibraryPageTest, SortType5AtStartupShowsTheDescendingMarkOnColumnTwo) {
    package("advThemes/m.tvp", "Z first by name");
    package("advThemes/z.tvp", "A");
    package("advThemes/a.tvp", "M");
    settings.options.lvadvSortType = 5;
    start(false);
    EXPECT_EQ(libraryPage->sortColumn(), 2);
    EXPECT_EQ(libraryPage->headerImage(2), 7);
    EXPECT_EQ(libraryPage->headerImage(0), -1);
    EXPECT_EQ(libraryPage->headerImage(1), -1);
    EXPECT_EQ(libraryPage->columnTag(2), 0);
    EXPECT_EQ(settings.options.lvadvSortType, 5);
    EXPECT_EQ(libraryPage->rows().row(0).path, library("z.tvp"));
    EXPECT_EQ(libraryPage->rows().row(1).path, library("m.tvp"));
    EXPECT_EQ(libraryPage->rows().row(2).path, library("a.tvp"));
    // The next click on the restored column toggles it.
    libraryPage->lvAdvancColumnClick(2);
    EXPECT_EQ(libraryPage->headerImage(2), 6);
    EXPECT_EQ(libraryPage->rows().row(0).path, library("a.tvp"));
    EXPECT_EQ(settings.options.lvadvSortType, 4);
}

TEST_F(ThemeLibraryPageTest, StoredSortTypeOutOfRangeStartsByName) {
    package("advThemes/b.tvp", "B");
    package("advThemes/a.tvp", "A");
    settings.options.lvadvSortType = 9;
    start(false);
    EXPECT_EQ(settings.options.lvadvSortType, 0);
    EXPECT_EQ(captions(), (std::vector<std::string>{"A", "B"}));
}

TEST(ThemeRowsCompare, DatesNeverCompareEqualAndUnreadableDatesComeFirst) {
    const ThemeRow a{"a", "?", "/x/a.tvp", 0};
    const ThemeRow b{"b", "?", "/x/b.tvp", 0};
    EXPECT_EQ(ThemeRows::compare(1, a, b), 1);
    EXPECT_EQ(ThemeRows::compare(1, b, a), 1);
    EXPECT_LT(ThemeRows::compare(0, a, b), 0);
    EXPECT_GT(ThemeRows::compare(2, b, a), 0);
    EXPECT_LT(ThemeRows::compare(0, ThemeRow{"Zeta", "", "", 0}, ThemeRow{"alpha", "", "", 0}),
              0);  // case-sensitive
}

// --- Command states --------------------------------------------------------------------

TEST_F(ThemeLibraryPageTest, FocusLeavingTheListDisablesTheSelectionCommands) {
    package("advThemes/a.tvp", "A");
    package("advThemes/b.tvp", "B");
    start();
    select({0});
    EXPECT_TRUE(button("padvbApplay")->isEnabled());
    EXPECT_TRUE(button("padvbReport")->isEnabled());
    EXPECT_TRUE(button("padvbDelete")->isEnabled());
    EXPECT_TRUE(button("padvbRemove")->isEnabled());
    EXPECT_TRUE(action("padvbRemPM1")->isEnabled());
    EXPECT_TRUE(action("padvPM0")->isEnabled());
    select({0, 1});
    EXPECT_FALSE(button("padvbApplay")->isEnabled());
    EXPECT_FALSE(button("padvbReport")->isEnabled());
    EXPECT_TRUE(button("padvbDelete")->isEnabled());

    list->clearFocus();
    EXPECT_FALSE(list->hasFocus());
    EXPECT_EQ(selected().size(), 2u);  // the rows stay selected
    EXPECT_FALSE(button("padvbApplay")->isEnabled());
    EXPECT_FALSE(button("padvbReport")->isEnabled());
    EXPECT_FALSE(button("padvbDelete")->isEnabled());
    EXPECT_FALSE(action("padvbRemPM1")->isEnabled());
    EXPECT_FALSE(action("padvPM1")->isEnabled());
    EXPECT_FALSE(action("padvPM2")->isEnabled());
    EXPECT_FALSE(button("padvbRemove")->isEnabled());  // and the recycle folder is empty
    EXPECT_TRUE(button("padvbCreate")->isEnabled());
    EXPECT_TRUE(button("padvbOpen")->isEnabled());
    EXPECT_TRUE(button("padvbDownload")->isEnabled());
    EXPECT_TRUE(action("padvbRemPM2")->isEnabled());
    // Tool buttons never take the focus from the list.
    EXPECT_EQ(button("padvbApplay")->focusPolicy(), Qt::NoFocus);
}

TEST_F(ThemeLibraryPageTest, EmptyLibraryWithRecycledPackagesOffersOnlyRestore) {
    package("advThemes/Recycled/old.tvp", "Old");
    start();
    EXPECT_EQ(libraryPage->rows().rowCount(), 0);
    EXPECT_TRUE(button("padvbRemove")->isEnabled());
    EXPECT_EQ(button("padvbRemove")->property("hint").toString(), QStringLiteral("Recycle bin"));
    button("padvbRemove")->click();
    auto* menu = window->findChild<QMenu*>(QStringLiteral("padvbRemPM"));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), button("padvbRemove")->mapToGlobal(QPoint(16, 32)));
    EXPECT_FALSE(action("padvbRemPM1")->isEnabled());
    EXPECT_TRUE(action("padvbRemPM2")->isEnabled());
    menu->hide();
}

// --- Removing --------------------------------------------------------------------------

TEST_F(ThemeLibraryPageTest, RemovingTheOnlyRowLeavesNothingSelected) {
    package("advThemes/a.tvp", "A");
    start();
    select({0});
    button("padvbRemove")->click();
    EXPECT_EQ(libraryPage->rows().rowCount(), 0);
    EXPECT_TRUE(selected().empty());
    EXPECT_FALSE(test::fileExists(library("a.tvp")));
    EXPECT_TRUE(test::fileExists(recycled("a.tvp")));
    // The remove button now shows the full recycle folder.
    EXPECT_EQ(button("padvbRemove")->property("hint").toString(), QStringLiteral("Recycle bin"));
}

TEST_F(ThemeLibraryPageTest, RemovingTheLastOfSeveralRowsSelectsTheNewLastRow) {
    package("advThemes/a.tvp", "A");
    package("advThemes/b.tvp", "B");
    package("advThemes/c.tvp", "C");
    start();
    select({2});
    key(Qt::Key_Delete);
    EXPECT_EQ(captions(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(selected(), std::vector<int>{1});
    EXPECT_EQ(list->currentIndex().row(), 1);
    EXPECT_TRUE(list->hasFocus());
}

TEST_F(ThemeLibraryPageTest, RemovingRowsOneAndThreeOfFourSelectsTheRowNowAtOne) {
    for (const char* n : {"A", "B", "C", "D"}) package(std::string("advThemes/") + n + ".tvp", n);
    start();
    select({1, 3});
    action("padvPM1")->trigger();
    EXPECT_EQ(captions(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(selected(), std::vector<int>{1});
    EXPECT_TRUE(test::fileExists(recycled("B.tvp")));
    EXPECT_TRUE(test::fileExists(recycled("D.tvp")));
}

TEST_F(ThemeLibraryPageTest, RecyclingKeepsAPackageOfTheSameNameAndMakesAMissingFolder) {
    package("advThemes/a.tvp", "New A");
    package("advThemes/b.tvp", "B");
    const std::string older = package("advThemes/Recycled/a.tvp", "Old A");
    start();
    select({rowOf("New A")});
    libraryPage->padvbRemPM1Click();
    EXPECT_EQ(test::readFile(recycled("a.tvp")), test::readFile(older));  // untouched
    EXPECT_TRUE(test::fileExists(recycled("a (2).tvp")));
    EXPECT_FALSE(test::fileExists(library("a.tvp")));

    std::filesystem::remove_all(folder.file("advThemes/Recycled"));
    select({0});
    libraryPage->padvbRemPM1Click();
    EXPECT_TRUE(test::fileExists(recycled("b.tvp")));
    EXPECT_EQ(libraryPage->rows().rowCount(), 0);
}

TEST_F(ThemeLibraryPageTest, RemovingTheCurrentThemeEmptiesCadvThemeAndApplyingSetsItAgain) {
    package("advThemes/a.tvp", "A");
    package("advThemes/b.tvp", "B");
    settings.cadvTheme = library("a.tvp");
    start();
    EXPECT_EQ(selected(), std::vector<int>{0});  // the current theme's row starts selected
    libraryPage->padvbRemPM1Click();
    EXPECT_EQ(settings.cadvTheme, "");
    EXPECT_EQ(captions(), std::vector<std::string>{"B"});

    select({0});
    button("padvbApplay")->click();
    EXPECT_EQ(settings.cadvTheme, library("b.tvp"));
    EXPECT_TRUE(settings.options.Enabled);
    EXPECT_EQ(settings.options.state, 0);
    EXPECT_EQ(window->statusLine().hintMark(), 0);
    EXPECT_TRUE(boxes().shown.empty());
    window->statusLine().Timer1Timer();
    EXPECT_EQ(panel(0), QStringLiteral("Themes: 1   Current: ../advThemes/b.tvp"));

    // Deleting it for good, by Shift+Delete, empties it again.
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(settings.cadvTheme, "");
    EXPECT_FALSE(test::fileExists(library("b.tvp")));
    EXPECT_FALSE(test::fileExists(recycled("b.tvp")));
}

TEST_F(ThemeLibraryPageTest, DeleteForGoodLeavesTheRecycleFolderAlone) {
    package("advThemes/a.tvp", "A");
    package("advThemes/b.tvp", "B");
    start();
    select({0, 1});
    button("padvbDelete")->click();
    EXPECT_EQ(libraryPage->rows().rowCount(), 0);
    EXPECT_FALSE(test::fileExists(library("a.tvp")));
    EXPECT_TRUE(folderEmpty(folder.file("advThemes/Recycled")));
}

// --- Import and restore ----------------------------------------------------------------

TEST_F(ThemeLibraryPageTest, ImportFromAPathWithRecycledDeletesThePickedFile) {
    package("advThemes/m.tvp", "M");
    const std::string picked = package("elsewhere/Recycled stuff/a.tvp", "A");
    const std::string plain = package("elsewhere/b.tvp", "B");
    const std::string refused = folder.write("elsewhere/Recycled stuff/bad.tvp", "not a zip");
    start();
    dialogs().nextAnswers.push_back({plain, picked, refused});
    button("padvbOpen")->click();
    ASSERT_EQ(dialogs().asked.size(), 1u);
    EXPECT_EQ(dialogs().asked[0].filter, "Theme packages (*.tvp)");
    EXPECT_EQ(dialogs().asked[0].folder, "");
    EXPECT_EQ(captions(), (std::vector<std::string>{"A", "B", "M"}));  // sorted again
    EXPECT_FALSE(test::fileExists(picked));
    EXPECT_TRUE(test::fileExists(library("a.tvp")));
    EXPECT_TRUE(test::fileExists(plain));
    EXPECT_TRUE(test::fileExists(refused));  // not accepted: it stays where it was
}

TEST_F(ThemeLibraryPageTest, ImportingAFileOfTheLibraryAddsASecondRow) {
    package("advThemes/a.tvp", "A");
    start();
    dialogs().nextAnswers.push_back({library("a.tvp")});
    key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(captions(), (std::vector<std::string>{"A", "A"}));
    EXPECT_TRUE(test::fileExists(library("a.tvp")));
}

TEST_F(ThemeLibraryPageTest, RestoreEmptiesTheRecycleFolderAndSwitchesTheRemoveButton) {
    package("advThemes/a.tvp", "A");
    const std::string old = package("advThemes/Recycled/old.tvp", "Old");
    start();
    EXPECT_EQ(button("padvbRemove")->property("hint").toString(), QStringLiteral("Recycle bin"));
    dialogs().nextAnswers.push_back({old});
    action("padvbRemPM2")->trigger();
    ASSERT_EQ(dialogs().asked.size(), 1u);
    EXPECT_EQ(dialogs().asked[0].folder, folder.file("advThemes/Recycled"));
    EXPECT_TRUE(libraryPage->advOpenDialog().initialDir.empty());  // reset after the dialog
    EXPECT_FALSE(libraryPage->advOpenDialog().noChangeDir);
    EXPECT_FALSE(test::fileExists(old));
    EXPECT_TRUE(test::fileExists(library("old.tvp")));
    EXPECT_EQ(captions(), (std::vector<std::string>{"A", "Old"}));
    EXPECT_EQ(button("padvbRemove")->property("hint").toString(), QStringLiteral("Recycle"));
    // The next plain import opens where the dialog chooses.
    dialogs().nextAnswers.push_back({});
    key(Qt::Key_Insert);
    EXPECT_EQ(dialogs().asked[1].folder, "");
}

// --- Keys ------------------------------------------------------------------------------

TEST_F(ThemeLibraryPageTest, EnterInAnEmptyListDoesNothing) {
    start();
    key(Qt::Key_Return);
    key(Qt::Key_Space);
    EXPECT_EQ(settings.cadvTheme, "");
    EXPECT_FALSE(settings.options.Enabled);
    EXPECT_TRUE(boxes().shown.empty());
    EXPECT_EQ(libraryPage->rows().rowCount(), 0);
}

TEST_F(ThemeLibraryPageTest, EnterAppliesTheFirstSelectedRow) {
    package("advThemes/a.tvp", "A");
    package("advThemes/b.tvp", "B");
    start();
    select({1, 0});
    key(Qt::Key_Enter);
    EXPECT_EQ(settings.cadvTheme, library("a.tvp"));
    EXPECT_TRUE(settings.options.Enabled);
}

TEST_F(ThemeLibraryPageTest, LinkBuilderAndReportKeys) {
    package("advThemes/a.tvp", "A");
    settings.Links[1] = "https://example.org/link1";
    settings.Links[2] = "https://example.org/link2";
    start();
    key(Qt::Key_I);
    button("padvbDownload")->click();
    ASSERT_EQ(shell().opened.size(), 2u);
    EXPECT_EQ(shell().opened[0].target, "https://example.org/link1");
    EXPECT_EQ(shell().opened[1].target, "https://example.org/link2");
    EXPECT_EQ(shell().opened[1].mode, ShowMode::Normal);

    key(Qt::Key_R);  // nothing selected: no report
    EXPECT_EQ(page(), 0);
    select({0});
    key(Qt::Key_R);
    EXPECT_EQ(page(), 4);
    window->pressSelector(0);
    list->setFocus();
    key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(page(), 3);
    window->pressSelector(0);
    list->setFocus();
    key(Qt::Key_F3, Qt::ControlModifier);  // the window's own shortcuts still work
    EXPECT_EQ(page(), 2);
}

TEST_F(ThemeLibraryPageTest, DoubleClickAppliesAndTheContextMenuFollowsTheStates) {
    package("advThemes/a.tvp", "A");
    package("advThemes/b.tvp", "B");
    start();
    const QRect second = list->visualItemRect(list->topLevelItem(1));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCoreApplication::processEvents();
    EXPECT_EQ(settings.cadvTheme, library("b.tvp"));

    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, second.center(),
                                list->viewport()->mapToGlobal(second.center()));
    QCoreApplication::sendEvent(list->viewport(), &menuEvent);
    auto* menu = window->findChild<QMenu*>(QStringLiteral("padvlvPopup"));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(action("padvPM0")->text(), QStringLiteral("Apply"));
    EXPECT_EQ(action("padvPM1")->text(), QStringLiteral("Recycle"));
    EXPECT_TRUE(action("padvPM3")->isEnabled());
    menu->hide();
    action("padvPM2")->trigger();  // delete for good, from the menu
    EXPECT_EQ(captions(), std::vector<std::string>{"A"});
    EXPECT_EQ(settings.cadvTheme, "");
}

// --- Drops -----------------------------------------------------------------------------

TEST_F(ThemeLibraryPageTest, DroppedFolderWithSubfoldersImportsEveryPackage) {
    package("advThemes/m.tvp", "M");
    package("drop/top.tvp", "Top");
    package("drop/sub/inner.tvp", "Inner");
    package("drop/sub/deeper/deep.tvp", "Deep");
    package("drop/Recycled/skipped.tvp", "Skipped");
    package("advThemes/Recycled/old.tvp", "Old");
    start();
    drop({QString::fromStdString(folder.file("drop"))});
    EXPECT_EQ(panel(0), QStringLiteral("Searching: ") +
                            QString::fromStdString(folder.file("drop")) + QStringLiteral("/*.tvp"));
    EXPECT_EQ(captions(), std::vector<std::string>{"M"});  // the search runs after the drop
    QCoreApplication::processEvents();
    EXPECT_EQ(libraryPage->rows().rowCount(), 4);
    for (const char* name : {"M", "Top", "Inner", "Deep"}) EXPECT_GE(rowOf(name), 0) << name;
    EXPECT_EQ(rowOf("M"), 0);  // earlier rows stay, new ones follow
    for (const char* file : {"top.tvp", "inner.tvp", "deep.tvp"})
        EXPECT_TRUE(test::fileExists(library(file))) << file;
    EXPECT_FALSE(test::fileExists(library("skipped.tvp")));
    // Dropping it again adds no second rows.
    drop({QString::fromStdString(folder.file("drop"))});
    QCoreApplication::processEvents();
    EXPECT_EQ(libraryPage->rows().rowCount(), 4);
    window->statusLine().Timer1Timer();
    EXPECT_EQ(panel(0), QStringLiteral("Themes: 4   Current: ../advThemes/"));
}

TEST_F(ThemeLibraryPageTest, DroppedFilesAreAppendedWholeNamesAnyExtension) {
    package("advThemes/z.tvp", "Z");
    const std::string longName =
        "drop/" + std::string(120, 'x') + "/a-package-whose-path-is-far-longer-than-99.zip";
    const std::string picked = package(longName, "Long");
    const std::string text = folder.write("drop/readme.txt", "text");
    start();
    drop({QString::fromStdString(picked), QString::fromStdString(text)});
    EXPECT_EQ(captions(), (std::vector<std::string>{"Z", "Long"}));  // appended, not sorted
    EXPECT_TRUE(test::fileExists(library("a-package-whose-path-is-far-longer-than-99.tvp")));
    EXPECT_TRUE(boxes().shown.empty());
}

// A package whose .tvp name is taken is listed under a name of its own, now and at the next
// start, and the installed one stays.
TEST_F(ThemeLibraryPageTest, ADroppedZipWhoseNameIsTakenStaysListedAfterARestart) {
    package("advThemes/a.tvp", "Old A");
    const std::string zip = package("drop/a.zip", "New A");
    start();
    drop({QString::fromStdString(zip)});
    ASSERT_EQ(captions(), (std::vector<std::string>{"Old A", "New A"}));
    const std::string added = libraryPage->rows().row(1).path;
    EXPECT_TRUE(HasExtension(added, ".tvp")) << added;
    EXPECT_EQ(test::readFile(added), test::readFile(zip));
    EXPECT_FALSE(test::fileExists(library("a.zip")));
    start();
    EXPECT_EQ(captions(), (std::vector<std::string>{"New A", "Old A"}));
    EXPECT_EQ(libraryPage->rows().row(0).path, added);
}

// --- Report ----------------------------------------------------------------------------

TEST_F(ThemeLibraryPageTest, AReportWithOnlyANameSet) {
    packageWithConfig("advThemes/solo.tvp", "[Name]\r\nThemeName=Solo\r\n");
    start();
    select({0});
    button("padvbReport")->click();
    EXPECT_EQ(page(), 4);
    auto* memo = child<QPlainTextEdit>("RMemo");
    EXPECT_EQ(memo->toPlainText(),
              QStringLiteral("Name:  Solo\n\nAuthor:  Unknown\n\nStyle:  Classic\n\n"
                             "Description:  None\n\nFile:  ../advThemes/solo.tvp\n\n"));
    EXPECT_FALSE(memo->isReadOnly());
    window->statusLine().UpdateStatusBar();
    EXPECT_EQ(panel(0), QStringLiteral("Report:..Solo"));
    // Nothing was written next to the recycled packages.
    EXPECT_TRUE(folderEmpty(folder.file("advThemes/Recycled")));
    EXPECT_EQ(selected(), std::vector<int>{0});
}

TEST_F(ThemeLibraryPageTest, TwoReportsInARowAndTheBackButton) {
    packageWithConfig("advThemes/a.tvp",
                      "[Name]\r\nThemeName=First\r\n[Author]\r\nThemeAuthor=Ann\r\n[Style]\r\n"
                      "index=2\r\n[Description]\r\nDescription=Green hills\r\n");
    packageWithConfig("advThemes/b.tvp", "[Name]\r\nThemeName=Second\r\n[Style]\r\nindex=9\r\n");
    start();
    select({0});
    action("padvPM3")->trigger();
    auto* memo = child<QPlainTextEdit>("RMemo");
    EXPECT_EQ(memo->toPlainText(),
              QStringLiteral("Name:  First\n\nAuthor:  Ann\n\nStyle:  Nature\n\n"
                             "Description:  Green hills\n\nFile:  ../advThemes/a.tvp\n\n"));
    window->pressSelector(0);
    list->setFocus();
    select({1});
    libraryPage->padvbReportClick();
    EXPECT_EQ(page(), 4);
    EXPECT_TRUE(memo->toPlainText().startsWith(QStringLiteral("Name:  Second\n\n")));
    EXPECT_TRUE(memo->toPlainText().contains(QStringLiteral("Style:  9\n\n")));
    EXPECT_EQ(window->reportPage()->reportThemeName(), "Second");

    auto* back = child<QToolButton>("prepBBack");
    EXPECT_EQ(back->property("hint").toString(), QStringLiteral("Back"));
    back->click();
    EXPECT_EQ(page(), 0);
    EXPECT_EQ(panel(0), QStringLiteral("Report:..Second"));  // that run described the report
    window->statusLine().Timer1Timer();
    EXPECT_EQ(panel(0), QStringLiteral("Themes: 2   Current: ../advThemes/"));
    EXPECT_EQ(selected(), std::vector<int>{1});
}

TEST_F(ThemeLibraryPageTest, APackageWithoutADescriptorGivesNoReport) {
    packageWithConfig("advThemes/a.tvp", "[Name]\r\nThemeName=A\r\n");
    start();
    select({0});
    packageWithConfig("advThemes/a.tvp", "");  // replaced after the scan: no theme.cfg now
    libraryPage->padvbReportClick();
    EXPECT_EQ(page(), 0);
    EXPECT_TRUE(boxes().shown.empty());
}

TEST_F(ThemeLibraryPageTest, AnUnreadablePackageGivesOneMessageAndNoFile) {
    package("advThemes/a.tvp", "A");
    start();
    select({0});
    folder.write("advThemes/a.tvp", "damaged");
    button("padvbReport")->click();
    ASSERT_EQ(boxes().shown.size(), 1u);
    EXPECT_NE(boxes().shown[0].text.find("a.tvp"), std::string::npos);
    EXPECT_EQ(boxes().shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(page(), 0);
    EXPECT_TRUE(folderEmpty(folder.file("advThemes/Recycled")));
}

}  // namespace
}  // namespace velluma
