// Started in a page program's place to show from inside what a confined page can do. Each
// pair of arguments is one try; one line per try on standard output: "<try> <arg> yes|no".
//   read <file>       the file can be opened for reading
//   write <file>      a new file can be made there
//   connect <port>    a TCP connection to 127.0.0.1:<port> is accepted
//   loopback -        a server of its own on 127.0.0.1 can be reached
//   trace -           it may trace another process (a child of its own)
//   status <field>    prints the field's value from /proc/self/status instead of yes/no
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

bool canRead(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    char byte;
    const bool read = ::read(fd, &byte, 1) >= 0;
    ::close(fd);
    return read;
}

bool canWrite(const char* path) {
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return false;
    const bool written = ::write(fd, "x", 1) == 1;
    ::close(fd);
    return written;
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool canConnect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    const sockaddr_in address = loopback(port);
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

bool ownLoopback() {
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    const bool listening = server >= 0 &&
                           ::bind(server, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                           ::listen(server, 1) == 0 &&
                           ::getsockname(server, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    const bool reached = listening && canConnect(ntohs(address.sin_port));
    if (server >= 0) ::close(server);
    return reached;
}

bool canTrace() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::pause();
        ::_exit(0);
    }
    if (child < 0) return false;
    const bool traced = ::ptrace(PTRACE_ATTACH, child, nullptr, nullptr) == 0;
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return traced;
}

std::string statusField(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) {
            const auto value = line.find_first_not_of(" \t", field.size() + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
    return "?";
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string what = argv[i];
        const char* arg = argv[i + 1];
        std::string answer;
        if (what == "status") {
            answer = statusField(arg);
        } else {
            bool yes = false;
            if (what == "read") yes = canRead(arg);
            if (what == "write") yes = canWrite(arg);
            if (what == "connect") yes = canConnect(std::atoi(arg));
            if (what == "loopback") yes = ownLoopback();
            if (what == "trace") yes = canTrace();
            answer = yes ? "yes" : "no";
        }
        std::printf("%s %s %s\n", what.c_str(), arg, answer.c_str());
    }
    return 0;
}
