#include "platform_gui/posix/SwayBackground.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>

#include "formats/ErrnoText.h"
#include "platform_gui/posix/DesktopCall.h"

namespace velluma {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr std::uint32_t kRunCommand = 0, kGetConfig = 9;
constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kHeader = sizeof(kMagic) + 8;
constexpr std::size_t kMaxReply = std::size_t(16) << 20;
constexpr const char* kPlain = "output * bg #000000 solid_color";

class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

using Clock = std::chrono::steady_clock;

// Waits for the socket until the deadline; false on time-out.
bool await(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, int(left.count()));
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) throw DesktopError("sway: " + errnoText(errno));
    }
}

[[noreturn]] void timedOut() {
    throw DesktopTimeout("sway did not answer within 2 seconds");
}

// Splits a command line as sway does: blanks separate, quotes group.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::string word;
    char quote = 0;
    bool inWord = false;
    for (char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) out.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) out.push_back(word);
    return out;
}

std::string trimmed(const std::string& s) {
    const auto begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return {};
    return s.substr(begin, s.find_last_not_of(" \t\r") - begin + 1);
}

bool isBackgroundWord(const std::string& w) {
    return w == "bg" || w == "background";
}

}  // namespace

SwayBackground::SwayBackground(std::string socketPath) : m_socket(std::move(socketPath)) {}

const char* SwayBackground::modeFor(Placement placement) {
    switch (placement) {
        case Placement::Centre:
            return "center";
        case Placement::Tile:
            return "tile";
        default:
            return "stretch";  // sway has no spanning: each output shows the whole picture
    }
}

std::string SwayBackground::exchange(std::uint32_t type, const std::string& payload) {
    const Clock::time_point deadline = Clock::now() + kDesktopTimeout;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_socket.size() >= sizeof(address.sun_path))
        throw DesktopError("The sway socket path is too long");
    std::memcpy(address.sun_path, m_socket.c_str(), m_socket.size() + 1);
    Socket s(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (s.fd() < 0) throw DesktopError("sway: " + errnoText(errno));
    if (::connect(s.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS && errno != EAGAIN)
            throw DesktopError("Cannot reach sway: " + errnoText(errno));
        if (!await(s.fd(), POLLOUT, deadline)) timedOut();
    }

    std::string message(kMagic, sizeof kMagic);
    const std::uint32_t header[2] = {std::uint32_t(payload.size()), type};
    message.append(reinterpret_cast<const char*>(header), sizeof header);
    message += payload;
    for (std::size_t sent = 0; sent < message.size();) {
        const ssize_t n =
            ::send(s.fd(), message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += std::size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!await(s.fd(), POLLOUT, deadline)) timedOut();
        } else {
            throw DesktopError("sway closed the connection");
        }
    }

    std::string reply;
    std::size_t wanted = kHeader;
    while (reply.size() < wanted) {
        char buffer[65536];
        const ssize_t n = ::recv(s.fd(), buffer, std::min(sizeof buffer, wanted - reply.size()), 0);
        if (n > 0) {
            reply.append(buffer, std::size_t(n));
            if (wanted == kHeader && reply.size() == kHeader) {
                if (reply.compare(0, sizeof kMagic, kMagic, sizeof kMagic) != 0)
                    throw DesktopError("sway answered in an unknown way");
                std::uint32_t length = 0;
                std::memcpy(&length, reply.data() + sizeof kMagic, 4);
                if (length > kMaxReply) throw DesktopError("sway's answer is too long");
                wanted = kHeader + length;
            }
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!await(s.fd(), POLLIN, deadline)) timedOut();
        } else {
            throw DesktopError("sway closed the connection");
        }
    }
    return reply.substr(kHeader);
}

void SwayBackground::run(const std::string& command) {
    const QJsonDocument reply =
        QJsonDocument::fromJson(QByteArray::fromStdString(exchange(kRunCommand, command)));
    if (!reply.isArray()) throw DesktopError("sway answered in an unknown way");
    for (const auto& result : reply.array())
        if (!result.toObject().value(u"success"_s).toBool())
            throw DesktopError("sway refused the background: " +
                               result.toObject().value(u"error"_s).toString().toStdString());
}

std::vector<std::string> SwayBackground::backgroundCommands(const std::string& config) {
    std::vector<std::string> commands;
    std::istringstream lines(config);
    std::string line, block;  // block: the output of an open "output NAME {"
    while (std::getline(lines, line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> w = words(line);
        if (!block.empty()) {
            if (line == "}")
                block.clear();
            else if (isBackgroundWord(w[0]))
                commands.push_back("output " + block + " " + line);
            continue;
        }
        if (w.size() == 3 && w[0] == "output" && w[2] == "{") {
            block = w[1];
        } else if (w.size() >= 4 && w[0] == "output" && isBackgroundWord(w[2])) {
            commands.push_back(line);
        }
    }
    return commands;
}

DesktopState SwayBackground::read() {
    const QJsonObject reply =
        QJsonDocument::fromJson(QByteArray::fromStdString(exchange(kGetConfig, {}))).object();
    if (!reply.contains(u"config"_s)) throw DesktopError("sway did not tell its configuration");
    const std::vector<std::string> commands =
        backgroundCommands(reply.value(u"config"_s).toString().toStdString());

    QJsonArray list;
    for (const std::string& c : commands) list.append(QString::fromStdString(c));
    DesktopState state;
    state.state = QJsonDocument(list).toJson(QJsonDocument::Compact).toStdString();
    state.tileWallpaper = "0";
    if (!commands.empty()) {
        const std::vector<std::string> w = words(commands.front());
        const std::string mode = w.size() > 4 ? w[4] : "";
        if (mode != "solid_color") state.wallpaper = w[3];
        if (mode == "tile") state.tileWallpaper = "1";
    }
    return state;
}

void SwayBackground::show(const std::string& file, Placement placement) {
    if (placement == Placement::None) {
        run(kPlain);
        return;
    }
    // sway expands the path as a shell word would.
    if (file.find_first_of("\"'\\$`;|&<>(){}*?[]~\n\r") != std::string::npos)
        throw DesktopError("The picture path \"" + file + "\" cannot be passed to sway");
    run("output * bg \"" + file + "\" " + modeFor(placement));
}

void SwayBackground::restore(const std::string& state) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(state));
    if (!doc.isArray()) throw DesktopError("The saved sway background is damaged");
    if (doc.array().isEmpty()) {
        run(kPlain);  // the configuration sets none
        return;
    }
    for (const auto& command : doc.array()) run(command.toString().toStdString());
}

}  // namespace velluma
