#pragma once

#include <string>

namespace velluma::test {

/// The steps of writing a file where the system can refuse.
enum class FileStep { Create, Write, Flush, Close, Rename };

/// As the error of a FileFault: the process ends at once at that step (SIGKILL), as a
/// crash or a power cut would end it.
inline constexpr int kKillProcess = -1;

/// The failing file layer: while a FileFault lives, one step fails for the files of one
/// folder, with an errno value or by ending the process. The test program is linked with
/// the C library calls of every step wrapped (-Wl,--wrap: open, openat, write, pwrite,
/// fsync, close, rename, renameat2), so each writer of ours meets the fault exactly where
/// the system would report it. Libraries (libzip) call the C library directly and are not
/// affected. A closing call that fails still closes its descriptor, as on Linux. One fault
/// at a time.
class FileFault final {
public:
    /// passFirst: how many matching calls succeed before the first that fails.
    FileFault(const std::string& folder, FileStep step, int error, int passFirst = 0);
    ~FileFault();
    FileFault(const FileFault&) = delete;
    FileFault& operator=(const FileFault&) = delete;

    /// How many calls have failed.
    int hits() const;
};

/// "write failed with ENOSPC" and the like, for test traces.
std::string describe(FileStep step, int error);

}  // namespace velluma::test
