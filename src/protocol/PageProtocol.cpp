#include "protocol/PageProtocol.h"

#include <QStringList>
#include <optional>

namespace velluma::page_protocol {
namespace {

constexpr QLatin1StringView kShow("show");
constexpr QLatin1StringView kMovie("movie");
constexpr QLatin1StringView kSize("size");
constexpr QLatin1StringView kClear("clear");
constexpr QLatin1StringView kQuit("quit");
constexpr QLatin1StringView kCovered("covered");

constexpr QLatin1StringView kShown("shown");
constexpr QLatin1StringView kPlaying("playing");
constexpr QLatin1StringView kPaused("paused");
constexpr QLatin1StringView kResumed("resumed");
constexpr QLatin1StringView kError("error");

constexpr QLatin1StringView kSubjectSeparator(": ");

// The rest of line after "<word> ", or nothing when line does not start so.
std::optional<QString> argumentsOf(const QString& line, QLatin1StringView word) {
    if (line.size() <= word.size() || !line.startsWith(word) || line[word.size()] != u' ')
        return std::nullopt;
    return line.mid(word.size() + 1);
}

// "<first>TAB<second>"; the first part is never empty.
bool splitAtTab(const QString& text, Command& command) {
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab <= 0) return false;
    command.first = text.left(tab);
    command.second = text.mid(tab + 1);
    return true;
}

QLatin1StringView wordOf(Verb verb) {
    switch (verb) {
        case Verb::Show:
            return kShow;
        case Verb::Movie:
            return kMovie;
        case Verb::Size:
            return kSize;
        case Verb::Clear:
            return kClear;
        case Verb::Quit:
            return kQuit;
        case Verb::Covered:
            return kCovered;
        case Verb::None:
        case Verb::Unknown:
            break;
    }
    return {};
}

QByteArray commandLine(QLatin1StringView word, const QString& arguments = {}) {
    QString line = word;
    if (!arguments.isNull()) line += QLatin1Char(' ') + arguments;
    return (line + QLatin1Char('\n')).toUtf8();
}

QString answer(QLatin1StringView word, const QString& rest) {
    return QString(word) + QLatin1Char(' ') + rest;
}

}  // namespace

Command parseCommand(const QString& line) {
    Command command;
    if (line.isEmpty()) return command;
    if (line == kQuit) {
        command.verb = Verb::Quit;
    } else if (line == kClear) {
        command.verb = Verb::Clear;
    } else if (const auto rest = argumentsOf(line, kShow)) {
        command.verb = Verb::Show;
        command.wellFormed = splitAtTab(*rest, command) && !command.second.isEmpty();
    } else if (const auto rest = argumentsOf(line, kMovie)) {
        command.verb = Verb::Movie;
        command.wellFormed = splitAtTab(*rest, command);
    } else if (const auto rest = argumentsOf(line, kSize)) {
        command.verb = Verb::Size;
        const QStringList parts = rest->split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool widthOk = false, heightOk = false;
        command.size = QSize(parts.value(0).toInt(&widthOk), parts.value(1).toInt(&heightOk));
        command.wellFormed = parts.size() == 2 && widthOk && heightOk &&
                             command.size.width() >= 0 && command.size.height() >= 0 &&
                             command.size.width() <= kMaxSide && command.size.height() <= kMaxSide;
    } else if (const auto rest = argumentsOf(line, kCovered)) {
        command.verb = Verb::Covered;
        command.covered = *rest == QLatin1String("1");
        command.wellFormed = command.covered || *rest == QLatin1String("0");
    } else {
        command.verb = Verb::Unknown;
        command.first = line.section(QLatin1Char(' '), 0, 0);
    }
    return command;
}

QByteArray show(const QString& folder, const QString& page) {
    return commandLine(kShow, folder + QLatin1Char('\t') + page);
}

QByteArray movie(const QString& path, const QString& quality) {
    return commandLine(kMovie, path + QLatin1Char('\t') + quality);
}

QByteArray size(int width, int height) {
    return commandLine(kSize, QStringLiteral("%1 %2").arg(width).arg(height));
}

QByteArray clear() {
    return commandLine(kClear);
}

QByteArray quit() {
    return commandLine(kQuit);
}

QByteArray covered(bool covered) {
    return commandLine(kCovered, covered ? QStringLiteral("1") : QStringLiteral("0"));
}

QString refusal(const Command& command, bool verbTaken) {
    if (verbTaken && !command.wellFormed) {
        switch (command.verb) {
            case Verb::Show:
                return error(QStringLiteral("show needs <work folder><TAB><start page>"));
            case Verb::Movie:
                return error(QStringLiteral("movie needs <path><TAB><quality>"));
            case Verb::Size:
                return error(QStringLiteral("size needs <width> <height>"));
            case Verb::Covered:
                return error(QStringLiteral("covered needs 1 or 0"));
            default:
                break;
        }
    }
    const QString word =
        command.verb == Verb::Unknown ? command.first : QString(wordOf(command.verb));
    return error(QStringLiteral("unknown command: ") + word);
}

QString shown(const QString& page) {
    return answer(kShown, page);
}

QString playing(const QString& path) {
    return answer(kPlaying, path);
}

QString paused() {
    return kPaused;
}

QString resumed() {
    return kResumed;
}

QString error(const QString& reason) {
    return answer(kError, reason);
}

QString error(QLatin1StringView reason) {
    return answer(kError, reason);
}

QString error(QLatin1StringView reason, const QString& subject) {
    return error(failure(reason, subject));
}

QString failure(QLatin1StringView reason, const QString& subject) {
    return QString(reason) + kSubjectSeparator + subject;
}

QByteArray answerBytes(const QString& line) {
    QByteArray bytes = line.toUtf8();
    bytes.replace('\n', ' ');
    bytes.replace('\r', ' ');
    bytes += '\n';
    return bytes;
}

Answer parseAnswer(const QString& line) {
    Answer result;
    if (const auto rest = argumentsOf(line, kShown)) {
        result.kind = Kind::Shown;
        result.subject = *rest;
    } else if (const auto rest = argumentsOf(line, kPlaying)) {
        result.kind = Kind::Playing;
        result.subject = *rest;
    } else if (line == kPaused) {
        result.kind = Kind::Paused;
    } else if (line == kResumed) {
        result.kind = Kind::Resumed;
    } else if (const auto rest = argumentsOf(line, kError)) {
        result.kind = Kind::Error;
        result.reason = *rest;
        const qsizetype separator = rest->indexOf(kSubjectSeparator);
        if (separator >= 0) result.subject = rest->mid(separator + kSubjectSeparator.size());
    }
    return result;
}

}  // namespace velluma::page_protocol
