#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QSize>
#include <QString>

/// The line protocol between the tray program and the page program (velluma-page): commands on
/// the page program's standard input, answers on its standard output, one UTF-8 line each.
/// Both programs spell and read every line through here and nowhere else.
///
///   commands                          answers
///   show <work folder>TAB<start page> shown <start page>
///   movie <path>TAB<quality>          playing <path>
///   size <width> <height>             paused, resumed
///   clear                             error <reason>
///   quit                              error <reason>: <page, folder or movie>
///   covered 1, covered 0 (the desktop's shell sees every monitor covered, or no longer)
namespace velluma::page_protocol {

// --- Commands, tray program -> page program ---------------------------------------------

enum class Verb { None, Show, Movie, Size, Clear, Quit, Covered, Unknown };

/// One command line read. verb None: an empty line, to be ignored.
struct Command {
    Verb verb = Verb::None;
    bool wellFormed = true;  // false: a known verb whose arguments are not in its form
    QString first;           // show: the work folder; movie: the path; unknown: the word
    QString second;          // show: the start page, relative to the folder; movie: the quality
    QSize size;              // size
    bool covered = false;    // covered
};

/// The largest side a size command may give: what a window of the builder can be.
inline constexpr int kMaxSide = 16384;

Command parseCommand(const QString& line);

/// The bytes to write, line end included. The fields must hold no line break; show's
/// folder and movie's path no tab either.
QByteArray show(const QString& folder, const QString& page);
QByteArray movie(const QString& path, const QString& quality);
QByteArray size(int width, int height);
QByteArray clear();
QByteArray quit();
QByteArray covered(bool covered);

/// The answer to a command line the page program cannot act on: its verb is not taken in the
/// page program's mode (verbTaken false), or its arguments are not in the verb's form.
QString refusal(const Command& command, bool verbTaken);

// --- Answers, page program -> tray program ----------------------------------------------

/// The reasons the page program gives for an error.
inline constexpr QLatin1StringView kNoDisplay("no-display");
inline constexpr QLatin1StringView kNoDesktopLayer("no-desktop-layer");
inline constexpr QLatin1StringView kNoPreview("no-preview");
inline constexpr QLatin1StringView kRendererCrashed("renderer-crashed");
inline constexpr QLatin1StringView kCannotListen("cannot listen on 127.0.0.1");
inline constexpr QLatin1StringView kLineTooLong("line too long");
inline constexpr QLatin1StringView kNoFlashPlayer("no Flash player");
inline constexpr QLatin1StringView kNoWindow("no window");  // followed by the window id
/// Reasons followed by ": " and their subject.
inline constexpr QLatin1StringView kPageNotFound("page not found");
inline constexpr QLatin1StringView kWorkFolderNotFound("work folder not found");
inline constexpr QLatin1StringView kLoadFailed("load failed");
inline constexpr QLatin1StringView kMovieNotFound("movie not found");
inline constexpr QLatin1StringView kMovieFolderNotFound("movie folder not found");
inline constexpr QLatin1StringView kMovieDidNotLoad("movie did not load");

QString shown(const QString& page);
QString playing(const QString& path);
QString paused();
QString resumed();
QString error(QLatin1StringView reason);
QString error(QLatin1StringView reason, const QString& subject);
/// A reason with its subject, as an error line carries it ("load failed: index.htm").
QString failure(QLatin1StringView reason, const QString& subject);
/// An error line with a reason already formed (by failure(), say).
QString error(const QString& reason);

/// The bytes of one answer line: line breaks inside it become spaces, and it ends with one.
QByteArray answerBytes(const QString& line);

enum class Kind { Shown, Playing, Paused, Resumed, Error, Other };

/// One answer line read (without its line end).
struct Answer {
    Kind kind = Kind::Other;
    QString reason;   // error: all after "error ", subject included
    QString subject;  // shown: the page; playing: the path; error: what follows the first ": "
    /// Whether this is the error with the given bare reason.
    bool is(QLatin1StringView bareReason) const {
        return kind == Kind::Error && reason == bareReason;
    }
};

Answer parseAnswer(const QString& line);

}  // namespace velluma::page_protocol
