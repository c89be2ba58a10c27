#include "protocol/PageProtocol.h"

#include <gtest/gtest.h>

namespace velluma {
namespace {

namespace protocol = page_protocol;
using protocol::Kind;
using protocol::Verb;

QString withoutLineEnd(const QByteArray& bytes) {
    EXPECT_TRUE(bytes.endsWith('\n')) << bytes.toStdString();
    return QString::fromUtf8(bytes.chopped(1));
}

TEST(PageProtocolTest, ParsesCommandLinesAndTellsMalformedOnesApart) {
    struct Case {
        const char* line;
        Verb verb;
        bool wellFormed;
        const char* first;
        const char* second;
        QSize size;
    };
    const Case cases[] = {
        {"", Verb::None, true, "", "", {}},
        {"quit", Verb::Quit, true, "", "", {}},
        {"clear", Verb::Clear, true, "", "", {}},
        {"show /w/1\tindex.htm", Verb::Show, true, "/w/1", "index.htm", {}},
        // The folder ends at the first tab; the page keeps any further ones.
        {"show /w/1\tsub/a\tb.htm", Verb::Show, true, "/w/1", "sub/a\tb.htm", {}},
        {"show /w/1", Verb::Show, false, "", "", {}},
        {"show \tindex.htm", Verb::Show, false, "", "", {}},
        {"show /w/1\t", Verb::Show, false, "/w/1", "", {}},
        {"show ", Verb::Show, false, "", "", {}},
        {"movie /m/a b.swf\tAutolow", Verb::Movie, true, "/m/a b.swf", "Autolow", {}},
        {"movie /m/a.swf\t", Verb::Movie, true, "/m/a.swf", "", {}},
        {"movie /m/a.swf", Verb::Movie, false, "", "", {}},
        {"size 640 480", Verb::Size, true, "", "", {640, 480}},
        {"size  640   480 ", Verb::Size, true, "", "", {640, 480}},
        {"size 0 0", Verb::Size, true, "", "", {0, 0}},
        {"size 16384 16384", Verb::Size, true, "", "", {16384, 16384}},
        {"size 16385 1", Verb::Size, false, "", "", {16385, 1}},
        {"size -1 5", Verb::Size, false, "", "", {-1, 5}},
        {"size 640", Verb::Size, false, "", "", {640, 0}},
        {"size 640 480 1", Verb::Size, false, "", "", {640, 480}},
        {"size wide tall", Verb::Size, false, "", "", {0, 0}},
        {"covered 1", Verb::Covered, true, "", "", {}},
        {"covered 0", Verb::Covered, true, "", "", {}},
        {"covered yes", Verb::Covered, false, "", "", {}},
        {"covered 1 0", Verb::Covered, false, "", "", {}},
        {"covered", Verb::Unknown, true, "covered", "", {}},
        // A verb that takes arguments needs them; one that takes none takes nothing more.
        {"show", Verb::Unknown, true, "show", "", {}},
        {"quit now", Verb::Unknown, true, "quit", "", {}},
        {"clear\tall", Verb::Unknown, true, "clear\tall", "", {}},
        {"shown /w/1\tindex.htm", Verb::Unknown, true, "shown", "", {}},
        {"SHOW /w/1\tindex.htm", Verb::Unknown, true, "SHOW", "", {}},
        {"play it", Verb::Unknown, true, "play", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const protocol::Command command = protocol::parseCommand(QString::fromUtf8(c.line));
        EXPECT_EQ(command.verb, c.verb);
        EXPECT_EQ(command.wellFormed, c.wellFormed);
        if (c.wellFormed) {
            EXPECT_EQ(command.first, QString::fromUtf8(c.first));
            EXPECT_EQ(command.second, QString::fromUtf8(c.second));
        }
        if (c.verb == Verb::Size) {
            EXPECT_EQ(command.size, c.size);
        }
    }
}

TEST(PageProtocolTest, CommandsAreWrittenAsTheyAreRead) {
    const QString folder = QStringLiteral("/home/ä/advThemes/WorkDir/4711");
    const QString page = QStringLiteral("sub dir/Index Seite.htm");
    EXPECT_EQ(
        protocol::show(folder, page),
        (QStringLiteral("show ") + folder + QLatin1Char('\t') + page + QLatin1Char('\n')).toUtf8());
    const protocol::Command show =
        protocol::parseCommand(withoutLineEnd(protocol::show(folder, page)));
    EXPECT_EQ(show.verb, Verb::Show);
    EXPECT_EQ(show.first, folder);
    EXPECT_EQ(show.second, page);

    const protocol::Command movie =
        protocol::parseCommand(withoutLineEnd(protocol::movie(QStringLiteral("/m/a.swf"), {})));
    EXPECT_EQ(movie.verb, Verb::Movie);
    EXPECT_TRUE(movie.wellFormed);
    EXPECT_EQ(movie.first, QStringLiteral("/m/a.swf"));

    EXPECT_EQ(protocol::size(640, 480), QByteArray("size 640 480\n"));
    EXPECT_EQ(protocol::parseCommand(withoutLineEnd(protocol::size(640, 480))).size,
              QSize(640, 480));
    EXPECT_EQ(protocol::clear(), QByteArray("clear\n"));
    EXPECT_EQ(protocol::quit(), QByteArray("quit\n"));
    EXPECT_EQ(protocol::parseCommand(withoutLineEnd(protocol::quit())).verb, Verb::Quit);
    for (const bool covered : {true, false}) {
        const protocol::Command told =
            protocol::parseCommand(withoutLineEnd(protocol::covered(covered)));
        EXPECT_EQ(told.verb, Verb::Covered);
        EXPECT_TRUE(told.wellFormed);
        EXPECT_EQ(told.covered, covered);
    }
}

TEST(PageProtocolTest, RefusalsNameTheFormOrTheUnknownWord) {
    struct Case {
        const char* line;
        bool verbTaken;
        const char* answer;
    };
    const Case cases[] = {
        {"show /w/1", true, "error show needs <work folder><TAB><start page>"},
        {"movie /m/a.swf", true, "error movie needs <path><TAB><quality>"},
        {"size 1", true, "error size needs <width> <height>"},
        {"covered 2", true, "error covered needs 1 or 0"},
        {"covered 1", false, "error unknown command: covered"},
        // A verb of the other mode is unknown here, in its form or not.
        {"show /w/1\tindex.htm", false, "error unknown command: show"},
        {"size 1", false, "error unknown command: size"},
        {"clear", false, "error unknown command: clear"},
        {"play it now", false, "error unknown command: play"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(protocol::refusal(protocol::parseCommand(QString::fromUtf8(c.line)), c.verbTaken),
                  QString::fromUtf8(c.answer));
    }
}

TEST(PageProtocolTest, ParsesAnswerLines) {
    struct Case {
        const char* line;
        Kind kind;
        const char* reason;
        const char* subject;
    };
    const Case cases[] = {
        {"shown index.htm", Kind::Shown, "", "index.htm"},
        {"shown sub/a: b.htm", Kind::Shown, "", "sub/a: b.htm"},
        {"playing /m/a.swf", Kind::Playing, "", "/m/a.swf"},
        {"paused", Kind::Paused, "", ""},
        {"resumed", Kind::Resumed, "", ""},
        {"error no-desktop-layer", Kind::Error, "no-desktop-layer", ""},
        {"error load failed: index.htm", Kind::Error, "load failed: index.htm", "index.htm"},
        // The subject is everything after the reason, separators within it included.
        {"error load failed: a: b.htm", Kind::Error, "load failed: a: b.htm", "a: b.htm"},
        {"error unknown command: show", Kind::Error, "unknown command: show", "show"},
        {"", Kind::Other, "", ""},
        {"shown", Kind::Other, "", ""},
        {"paused now", Kind::Other, "", ""},
        {"errors everywhere", Kind::Other, "", ""},
        {"Error load failed: x", Kind::Other, "", ""},
        {"hello", Kind::Other, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const protocol::Answer answer = protocol::parseAnswer(QString::fromUtf8(c.line));
        EXPECT_EQ(answer.kind, c.kind);
        EXPECT_EQ(answer.reason, QString::fromUtf8(c.reason));
        EXPECT_EQ(answer.subject, QString::fromUtf8(c.subject));
    }
    EXPECT_TRUE(protocol::parseAnswer(QStringLiteral("error no-preview")).is(protocol::kNoPreview));
    EXPECT_FALSE(
        protocol::parseAnswer(QStringLiteral("error no-preview: x")).is(protocol::kNoPreview));
    EXPECT_FALSE(
        protocol::parseAnswer(QStringLiteral("shown no-preview")).is(protocol::kNoPreview));
}

TEST(PageProtocolTest, AnswersAreWrittenAsTheyAreReadOnOneLine) {
    const QString page = QStringLiteral("a: b.htm");
    const protocol::Answer shown = protocol::parseAnswer(protocol::shown(page));
    EXPECT_EQ(shown.kind, Kind::Shown);
    EXPECT_EQ(shown.subject, page);

    const protocol::Answer failed =
        protocol::parseAnswer(protocol::error(protocol::kLoadFailed, page));
    EXPECT_EQ(failed.kind, Kind::Error);
    EXPECT_EQ(failed.subject, page);
    EXPECT_EQ(protocol::error(protocol::failure(protocol::kLoadFailed, page)),
              protocol::error(protocol::kLoadFailed, page));

    EXPECT_TRUE(protocol::parseAnswer(protocol::error(protocol::kNoDesktopLayer))
                    .is(protocol::kNoDesktopLayer));
    EXPECT_EQ(protocol::parseAnswer(protocol::paused()).kind, Kind::Paused);
    EXPECT_EQ(protocol::parseAnswer(protocol::resumed()).kind, Kind::Resumed);

    // A break inside a field cannot start a line of its own.
    EXPECT_EQ(protocol::answerBytes(QStringLiteral("error load failed: a\nb\r.htm")),
              QByteArray("error load failed: a b .htm\n"));
    EXPECT_EQ(protocol::answerBytes(protocol::shown(QStringLiteral("ü.htm"))),
              QStringLiteral("shown ü.htm\n").toUtf8());
}

}  // namespace
}  // namespace velluma
