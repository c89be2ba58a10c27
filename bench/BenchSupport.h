#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "themes/ThemeContext.h"

namespace velluma::bench {

/// A fresh temporary folder, removed with everything in it at the end.
class BenchFolder {
public:
    BenchFolder();
    ~BenchFolder();
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

/// Bytes that do not compress.
std::string Noise(std::size_t size, unsigned seed);
/// Text that compresses about as well as a page or script does.
std::string Text(std::size_t size, unsigned seed);

/// Writes an archive with bare libzip (Deflate level 6), without the program's safety steps.
void WriteArchive(const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& entries);

/// Package i of the benchmarks' theme library of count packages, the same for every
/// benchmark that scans it: theme.cfg, the builder's pages, a 24 KB movie and a 12 KB
/// picture that do not compress. Written as folder + "/Theme<i>.tvp"; returns that path.
std::string WriteLibraryPackage(const std::string& folder, int i, int count);

/// A program folder with advThemes/WorkDir and Recycled, the file registry with both
/// desktop components registered, and a context on them that dispatches Qt's events.
class BenchProgram {
public:
    BenchProgram();
    ~BenchProgram();

    BenchFolder folder;
    std::string programFolder;
    Platform platform;
    std::unique_ptr<ThemeContext> context;
};

/// Compares the time of one benchmark with another of the same run.
struct RatioGoal {
    std::string measured;
    std::string reference;
    double goal;
};

/// Creates the application object (unless the caller has made one), runs first (may be
/// empty), then the benchmarks, and prints each ratio (best repetition against best
/// repetition) and whether it meets its goal. Returns the process's exit code.
int RunWithRatios(int argc, char** argv, const std::vector<RatioGoal>& goals,
                  const std::function<void()>& first = {});

/// The peak resident memory since the last reset, and the reset (Linux: VmHWM).
long PeakResidentKiB();
long ResidentKiB();
void ResetPeakResident();

}  // namespace velluma::bench
