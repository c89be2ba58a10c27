// The longest stall of the event loop while an old work folder of 100,000 files is removed
// (goal: at most 200 ms), against removing the same folder on the event loop's own thread.
// Reported per repetition: longest_stall_ms (the longest time between two turns of the
// loop) and removal_ms (until the folder is gone).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "platform/TreeRemover.h"
#include "platform/WorkFolderCleaner.h"

namespace velluma::bench {
namespace {

constexpr int kFolders = 10;
constexpr int kFilesPerFolder = 10000;
constexpr double kGoalMs = 200;

// WorkDir/1000 with 100,000 small files in ten folders.
void makeWorkFolder(const std::string& root) {
    const std::string top = root + "/1000";
    ::mkdir(top.c_str(), 0755);
    for (int f = 0; f < kFolders; ++f) {
        const std::string folder = top + "/pages" + std::to_string(f);
        ::mkdir(folder.c_str(), 0755);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            const std::string file = folder + "/p" + std::to_string(i) + ".htm";
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd >= 0) {
                [[maybe_unused]] auto written = ::write(fd, "<p>", 3);
                ::close(fd);
            }
        }
    }
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Runs the event loop with a 1 ms timer, starts the removal from inside it and stops once
// the folder is gone; returns the longest time between two ticks.
double longestStallMs(const std::string& folder, const std::function<void()>& removal,
                      double& removalMs) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (!exists(folder)) QCoreApplication::exit(0);
    });
    tick.start();
    qint64 started = 0;
    QTimer::singleShot(5, [&] {
        started = clock.nsecsElapsed();
        removal();
    });
    QCoreApplication::exec();
    removalMs = double(clock.nsecsElapsed() - started) / 1e6;
    return double(longest) / 1e6;
}

void report(benchmark::State& state, double stallMs, double removalMs, double& worst) {
    worst = std::max(worst, stallMs);
    state.SetIterationTime(stallMs / 1000);
    state.counters["longest_stall_ms"] = worst;
    state.counters["removal_ms"] = removalMs;
}

void BM_RemoveInTheBackground(benchmark::State& state) {
    BenchFolder temp;
    const std::string root = temp.path() + "/WorkDir";
    ::mkdir(root.c_str(), 0755);
    WorkFolderCleaner cleaner(root);
    double worst = 0;
    for (auto _ : state) {
        makeWorkFolder(root);
        double removalMs = 0;
        const double stall = longestStallMs(
            root + "/1000", [&] { cleaner.remove(root + "/1000"); }, removalMs);
        report(state, stall, removalMs, worst);
    }
    std::printf("GOAL longest stall %.1f ms (goal <= %.0f ms): %s\n", worst, kGoalMs,
                worst <= kGoalMs ? "met" : "MISSED");
}

// The reference: the same removal on the event loop's thread, which stalls for all of it.
void BM_RemoveOnTheEventLoop(benchmark::State& state) {
    BenchFolder temp;
    const std::string root = temp.path() + "/WorkDir";
    ::mkdir(root.c_str(), 0755);
    double worst = 0;
    for (auto _ : state) {
        makeWorkFolder(root);
        QElapsedTimer clock;
        clock.start();
        const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        removeTreeAt(fd, "1000");
        ::close(fd);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        report(state, ms, ms, worst);
    }
}

BENCHMARK(BM_RemoveInTheBackground)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RemoveOnTheEventLoop)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velluma::bench

int main(int argc, char** argv) {
    return velluma::bench::RunWithRatios(argc, argv, {});
}
