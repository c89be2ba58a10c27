#include "FuzzSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace velluma::fuzz {
namespace {

std::string makeScratchFolder() {
    // tmpfs keeps millions of small writes and fsyncs off the disk.
    std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    if (const char* own = std::getenv("VELLUMA_FUZZ_SCRATCH")) base = own;
    std::string pattern = base + "/velluma-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("velluma fuzz: cannot create a scratch folder");
        std::abort();
    }
    return pattern;
}

}  // namespace

const std::string& scratchFolder() {
    // Never destroyed: the clean-up at exit runs after the destructors of statics.
    static const std::string* folder = [] {
        auto* made = new std::string(makeScratchFolder());
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(scratchFolder(), ec);
        });
        return made;
    }();
    return *folder;
}

std::string writeScratchFile(const std::string& name, std::string_view bytes) {
    const std::string path = scratchFolder() + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) propertyFailed("the scratch file cannot be written");
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) propertyFailed("the scratch file cannot be written");
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return path;
}

void emptyFolder(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        std::filesystem::remove_all(entry.path(), ec);
}

void propertyFailed(const char* what) {
    std::fprintf(stderr, "velluma fuzz: property failed: %s\n", what);
    std::abort();
}

}  // namespace velluma::fuzz
