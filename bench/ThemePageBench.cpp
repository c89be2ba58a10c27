// Start-up of the main window over a theme library of 1,000 packages, against the scan of the
// same folder into memory (goal: at most 1.2x), and filling and sorting 1,000 rows of the
// library's view (goal: under 100 ms). Runs on Qt's offscreen platform unless told otherwise.
#include <fcntl.h>
#include <sys/stat.h>

#include <QApplication>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>

#include "BenchSupport.h"
#include "core/Options.h"
#include "core/ResolutionAgent.h"
#include "language/Language.h"
#include "themes/MemoryThemeList.h"
#include "themes/ThemeDates.h"
#include "themes/ThemePackage.h"
#include "ui/MainWindow.h"
#include "ui/ThemeLibraryPage.h"
#include "ui/ThemeRows.h"

namespace velluma::bench {
namespace {

constexpr int kPackages = 1000;
constexpr std::time_t kFirstDay = 1577880000;  // 2020-01-01 12:00 UTC
constexpr double kFillAndSortGoalMs = 100;

// Best single run of each benchmark that is judged against a goal, in milliseconds.
double bestFillAndSortMs = 1e9;
double bestScanMs = 1e9;
double bestStartupMs = 1e9;
double bestEmptyStartupMs = 1e9;

class RunTimer {
public:
    explicit RunTimer(double& best) : m_best(best) {}
    ~RunTimer() {
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - m_begin;
        m_best = std::min(m_best, took.count());
    }

private:
    double& m_best;
    std::chrono::steady_clock::time_point m_begin = std::chrono::steady_clock::now();
};

// The packages of the scan benchmark, each with its own last-write day.
BenchProgram& program() {
    static const std::unique_ptr<BenchProgram> p = [] {
        auto made = std::make_unique<BenchProgram>();
        const std::string folder = made->programFolder + "/advThemes";
        std::mt19937 days(7);
        for (int i = 0; i < kPackages; ++i) {
            const std::string path = WriteLibraryPackage(folder, i, kPackages);
            const std::time_t day = kFirstDay + std::time_t(days() % 1500) * 86400;
            const timespec times[2] = {{day, 0}, {day, 0}};
            ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        }
        return made;
    }();
    return *p;
}

void BM_ScanThemeFolder(benchmark::State& state) {
    BenchProgram& p = program();
    for (auto _ : state) {
        const RunTimer timer(bestScanMs);
        MemoryThemeList list;
        ScanThemeFolder(*p.context, list, "", p.programFolder + "/advThemes");
        if (list.rowCount() != kPackages) state.SkipWithError("not every package was listed");
    }
}

// From nothing to a window on screen over a program folder: created, shown and painted.
void startWindow(benchmark::State& state, BenchProgram& p, int packages, double& best) {
    Settings settings;
    settings.ProgramFolder = p.programFolder;
    std::vector<TMLang> languages;
    TRAgent agent(*p.platform.screen);
    AppContext context{p.platform, settings, languages, agent, *p.context};
    for (auto _ : state) {
        settings.options.Enabled = false;
        settings.options.lvadvSortType = 3;  // by date, newest first: the dearest order
        std::unique_ptr<TfMain> window;
        {
            const RunTimer timer(best);
            window = std::make_unique<TfMain>(context);
            window->show();
            QCoreApplication::processEvents();
        }
        // Closing the window is not part of the start-up.
        state.PauseTiming();
        if (window->themePage()->rows().rowCount() != packages)
            state.SkipWithError("not every package was listed");
        window.reset();
        state.ResumeTiming();
    }
}

// The window over the library of 1,000 packages: usable once it shows them all.
void BM_WindowStartup(benchmark::State& state) {
    startWindow(state, program(), kPackages, bestStartupMs);
}

// The same window over an empty library: what the rest of the window costs.
void BM_WindowStartupEmptyLibrary(benchmark::State& state) {
    static BenchProgram empty;
    startWindow(state, empty, 0, bestEmptyStartupMs);
}

std::vector<ThemeRow> generatedRows() {
    std::vector<ThemeRow> rows;
    std::mt19937 random(11);
    for (int i = 0; i < kPackages; ++i) {
        const std::time_t day = kFirstDay + std::time_t(random() % 1500) * 86400;
        rows.push_back({"Theme " + std::to_string(random() % 100000), ShortDateText(day),
                        "/opt/Velluma/advThemes/Theme" + std::to_string(i) + ".tvp", i % 5});
    }
    return rows;
}

// Start-up's part in the view: fill 1,000 rows in one bracket and sort them by date.
void BM_FillAndSortRows(benchmark::State& state) {
    const std::vector<ThemeRow> source = generatedRows();
    QTreeWidget view;
    view.setColumnCount(3);
    ThemeRows rows(&view);
    for (auto _ : state) {
        {
            const RunTimer timer(bestFillAndSortMs);
            rows.clear();
            {
                const ThemeListUpdate update(rows);
                for (const ThemeRow& row : source) rows.addRow(row);
            }
            rows.sort(1, true);
        }
        if (rows.rowCount() != kPackages) state.SkipWithError("rows missing");
    }
}

// A re-sort of 1,000 rows by each column in turn, as column clicks do.
void BM_SortRowsByEachColumn(benchmark::State& state) {
    const std::vector<ThemeRow> source = generatedRows();
    QTreeWidget view;
    view.setColumnCount(3);
    ThemeRows rows(&view);
    {
        const ThemeListUpdate update(rows);
        for (const ThemeRow& row : source) rows.addRow(row);
    }
    for (auto _ : state) {
        rows.sort(0, false);
        rows.sort(1, false);
        rows.sort(2, true);
    }
}

BENCHMARK(BM_ScanThemeFolder)->Unit(benchmark::kMillisecond)->Repetitions(5)->MinTime(0.5);
BENCHMARK(BM_WindowStartup)->Unit(benchmark::kMillisecond)->Repetitions(5)->MinTime(0.5);
BENCHMARK(BM_WindowStartupEmptyLibrary)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->MinTime(0.5);
BENCHMARK(BM_FillAndSortRows)->Unit(benchmark::kMillisecond)->Repetitions(5)->MinTime(0.2);
BENCHMARK(BM_SortRowsByEachColumn)->Unit(benchmark::kMillisecond)->Repetitions(5)->MinTime(0.2);

}  // namespace
}  // namespace velluma::bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using namespace velluma::bench;
    const int status = RunWithRatios(argc, argv, {{"BM_WindowStartup", "BM_ScanThemeFolder", 1.2}});
    // What the library adds to the window's start-up, against the scan alone.
    if (bestStartupMs < 1e9 && bestEmptyStartupMs < 1e9 && bestScanMs < 1e9)
        std::printf(
            "SHARE (BM_WindowStartup - BM_WindowStartupEmptyLibrary) / BM_ScanThemeFolder"
            " = (%.3f - %.3f) / %.3f = %.2f\n",
            bestStartupMs, bestEmptyStartupMs, bestScanMs,
            (bestStartupMs - bestEmptyStartupMs) / bestScanMs);
    // The fill-and-sort goal is a fixed time.
    if (bestFillAndSortMs >= 1e9) return status;
    const bool met = bestFillAndSortMs < kFillAndSortGoalMs;
    std::printf("GOAL BM_FillAndSortRows best %.3f ms (goal < %.0f ms): %s\n", bestFillAndSortMs,
                kFillAndSortGoalMs, met ? "met" : "NOT MET");
    return status != 0 || !met ? 1 : 0;
}
