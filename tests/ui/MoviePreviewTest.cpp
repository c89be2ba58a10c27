// The builder's movie preview driving a page program of the test's own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <functional>

#include "support/TempFolder.h"
#include "tools/SwfWriter.h"
#include "ui/MoviePreview.h"

namespace velluma {
namespace {

using test::TempFolder;

// Logs its arguments and every line it is told; answers a movie as the real one does.
std::string writeFakePageProgram(const TempFolder& temp) {
    const std::string log = temp.file("told.log");
    const std::string path = temp.write("velluma-page", R"(#!/bin/bash
echo "args $*" >> ")" + log + R"("
while IFS= read -r line; do
    echo "$line" >> ")" + log + R"("
    [[ "$line" == quit ]] && exit 0
    if [[ "$line" == movie\ * ]]; then movie="${line#movie }"; echo "playing ${movie%%$'\t'*}"; fi
done
)");
    ::chmod(path.c_str(), 0755);
    return path;
}

// One empty frame on the writer's default stage.
std::string tinyMovie() {
    SwfMovie movie;
    movie.frames.resize(1);
    return WriteSwf(movie);
}

bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

bool processGone(qint64 pid) {
    return ::kill(pid_t(pid), 0) != 0;
}

struct PreviewFixture : ::testing::Test {
    TempFolder temp;
    std::string program = writeFakePageProgram(temp);
    std::string movie = temp.write("clip one.swf", tinyMovie());
    QWidget window;
    MoviePreview* preview = new MoviePreview(&window);

    PreviewFixture() {
        window.resize(200, 150);
        preview->setGeometry(window.rect());
        preview->setEmbeddingAvailable(true);  // offscreen stands in for X11 here
        preview->setPageProgram(QString::fromStdString(program));
        preview->setLauncher(PageLauncher(PageLauncher::Confinement::Never));  // it logs beside it
        preview->setQuality2(QStringLiteral("Autolow"));
    }
    QStringList told() const {
        return QString::fromStdString(test::readFile(temp.file("told.log")))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString movieLine(const char* quality) const {
        return QStringLiteral("movie %1\t%2")
            .arg(QString::fromStdString(movie), QLatin1String(quality));
    }
};

TEST_F(PreviewFixture, PlaysTheMovieWhileShownAtTheChosenQualityAndEndsWhenHidden) {
    preview->setMovie(QString::fromStdString(movie));
    QCoreApplication::processEvents();
    EXPECT_EQ(preview->playerProcessId(), 0) << "started before the page was shown";

    window.show();
    ASSERT_TRUE(waitFor([&] { return preview->isPlaying(); }))
        << told().join(QLatin1Char('|')).toStdString();
    const qint64 first = preview->playerProcessId();
    const QStringList start = told();
    ASSERT_GE(start.size(), 3);
    EXPECT_TRUE(start[0].startsWith(QStringLiteral("args --preview "))) << start[0].toStdString();
    EXPECT_GT(start[0].section(QLatin1Char(' '), 2).toULongLong(), 0u);
    EXPECT_TRUE(start[1].startsWith(QStringLiteral("size "))) << start[1].toStdString();
    EXPECT_EQ(start[2], movieLine("Autolow"));
    EXPECT_TRUE(preview->findChild<QWidget*>(QStringLiteral("ShockwaveFlash1Stage"))->isVisible());

    preview->setQuality2(QStringLiteral("Best"));
    ASSERT_TRUE(waitFor([&] { return told().contains(movieLine("Best")); }));
    EXPECT_EQ(preview->playerProcessId(), first) << "the quality restarted the player";

    window.hide();
    EXPECT_FALSE(preview->isPlaying());
    EXPECT_EQ(preview->playerProcessId(), 0);
    EXPECT_TRUE(waitFor([&] { return processGone(first); }));
    EXPECT_EQ(told().last(), QStringLiteral("quit"));

    // Shown again, the movie plays in a new player.
    window.show();
    ASSERT_TRUE(waitFor([&] { return preview->isPlaying(); }));
    EXPECT_NE(preview->playerProcessId(), first);
    EXPECT_EQ(told().filter(QStringLiteral("args ")).size(), 2);
}

TEST_F(PreviewFixture, ADeadPlayerLeavesTheHeaderDrawingUntilTheNextMovie) {
    window.show();
    preview->setMovie(QString::fromStdString(movie));
    ASSERT_TRUE(waitFor([&] { return preview->isPlaying(); }));
    const qint64 first = preview->playerProcessId();

    ::kill(pid_t(first), SIGKILL);
    ASSERT_TRUE(waitFor([&] { return preview->playerProcessId() == 0; }));
    EXPECT_FALSE(preview->isPlaying());

    const std::string other = temp.write("other.swf", tinyMovie());
    preview->setMovie(QString::fromStdString(other));
    ASSERT_TRUE(waitFor([&] { return preview->isPlaying(); }));
    EXPECT_NE(preview->playerProcessId(), first);
}

TEST_F(PreviewFixture, AMovieThatCannotBeReadStartsNothing) {
    window.show();
    for (const std::string& bad :
         {temp.write("broken.swf", "not a movie at all"), temp.file("missing.swf")}) {
        preview->setMovie(QString::fromStdString(bad));
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(preview->playerProcessId(), 0) << bad;
        EXPECT_FALSE(preview->isPlaying()) << bad;
    }
    EXPECT_FALSE(test::fileExists(temp.file("told.log")));
}

}  // namespace
}  // namespace velluma
