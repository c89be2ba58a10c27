// The page program with and without its confinement, in the same run: the time from start to
// "shown", the time of a theme switch in a running program (goal: confinement adds at most
// 100 ms), and the memory of its whole process tree once the page plays, proportional (PSS,
// summed) and resident (RSS) beside it (goal: at most 10 MiB more).
//
//   VELLUMA_DIST=<installed program folder> xvfb-run -a -s "-screen 0 1920x1080x24"
//       build/bench/velluma_bench_page_confinement   (one line)
// The first two sample themes of the folder's advThemes are shown in turn.
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "formats/IniFile.h"
#include "platform_gui/posix/PageLauncher.h"
#include "themes/ThemeConfig.h"
#include "themes/ZipArchive.h"

namespace velluma::bench {
namespace {

constexpr int kShownWaitMs = 60000;
constexpr int kSettleMs = 3000;  // the page's first seconds of play before memory is read

struct Theme {
    std::string folder;
    std::string startPage;  // relative to the folder
};

struct World {
    std::string program;
    std::string workFolders;
    std::vector<Theme> themes;
};

std::string dist() {
    const char* set = std::getenv("VELLUMA_DIST");
    return set ? set : "dist/Velluma";
}

World& world() {
    static BenchFolder folder;
    static World w = [] {
        World made;
        made.program = dist() + "/velluma-page";
        made.workFolders = folder.path() + "/WorkDir";
        QDir themes(QString::fromStdString(dist() + "/advThemes"));
        const QStringList packages =
            themes.entryList({QStringLiteral("*.tvp")}, QDir::Files, QDir::Name);
        for (int i = 0; i < packages.size() && i < 2; ++i) {
            const std::string work = made.workFolders + "/" + std::to_string(i + 1);
            QDir().mkpath(QString::fromStdString(work));
            ZipReader::openForExtraction(themes.filePath(packages[i]).toStdString())
                .extractAll(work);
            const std::string startup =
                IniFile::load(work + "/theme.cfg").readString("Files", "startup");
            const std::string page =
                StartPageIn(work, startup.empty() ? std::string(kDefaultStartPage) : startup);
            made.themes.push_back({work, page.substr(work.size() + 1)});
        }
        return made;
    }();
    return w;
}

// The process and every process below it.
std::vector<int> tree(int root) {
    std::map<int, std::vector<int>> children;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = name.toInt(&number);
        if (!number) continue;
        std::ifstream stat("/proc/" + name.toStdString() + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        int parent = 0;
        std::sscanf(line.c_str() + close + 2, "%*c %d", &parent);
        children[parent].push_back(pid);
    }
    std::vector<int> all{root};
    for (std::size_t i = 0; i < all.size(); ++i)
        for (int child : children[all[i]]) all.push_back(child);
    return all;
}

// Proportional and resident memory of the tree, in KiB.
std::pair<double, double> treeMemory(int root) {
    double pss = 0, rss = 0;
    for (int pid : tree(root)) {
        std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
        for (std::string line; std::getline(rollup, line);) {
            double kib = 0;
            if (std::sscanf(line.c_str(), "Pss: %lf", &kib) == 1) pss += kib;
            if (std::sscanf(line.c_str(), "Rss: %lf", &kib) == 1) rss += kib;
        }
    }
    return {pss, rss};
}

// CPU time of the tree, user and system, in milliseconds.
double treeCpuMs(int root) {
    static const double tick = double(::sysconf(_SC_CLK_TCK));
    double ticks = 0;
    for (int pid : tree(root)) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        unsigned long user = 0, system = 0;
        std::sscanf(line.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                    &user, &system);
        ticks += double(user + system);
    }
    return ticks * 1000 / tick;
}

// Milliseconds from now until the page program says "shown"; -1 when it never does.
double untilShown(QProcess& page) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < kShownWaitMs) {
        while (page.canReadLine())
            if (page.readLine().startsWith("shown")) return double(timer.nsecsElapsed()) / 1e6;
        if (page.state() == QProcess::NotRunning) return -1;
        page.waitForReadyRead(100);
    }
    return -1;
}

void show(QProcess& page, const Theme& theme) {
    page.write(
        QString::fromStdString("show " + theme.folder + "\t" + theme.startPage + "\n").toUtf8());
}

void BM_PageProgram(benchmark::State& state) {
    const bool confined = state.range(0) != 0;
    World& w = world();
    if (w.themes.size() < 2) {
        state.SkipWithError("two theme packages are needed in VELLUMA_DIST/advThemes");
        return;
    }
    const PageLauncher launcher(confined ? PageLauncher::Confinement::WhereTheMachineCan
                                         : PageLauncher::Confinement::Never);
    if (confined && !launcher.confines()) {
        state.SkipWithError("this machine cannot confine");
        return;
    }
    double switchMs = 0, startCpuMs = 0, switchCpuMs = 0, pss = 0, rss = 0;
    for (auto _ : state) {
        QProcess page;
        page.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer started;
        started.start();
        launcher.start(page, QString::fromStdString(w.program), {}, {w.workFolders});
        show(page, w.themes[0]);
        const double firstMs = untilShown(page);
        if (firstMs < 0) {
            state.SkipWithError("the page was not shown");
            return;
        }
        state.SetIterationTime(double(started.nsecsElapsed()) / 1e9);
        const int root = int(page.processId());
        startCpuMs += treeCpuMs(root);

        QThread::msleep(kSettleMs);
        const auto [p, r] = treeMemory(root);
        pss += p;
        rss += r;
        const double cpuBefore = treeCpuMs(root);
        show(page, w.themes[1]);
        switchMs += untilShown(page);
        switchCpuMs += treeCpuMs(root) - cpuBefore;

        page.write("quit\n");
        page.closeWriteChannel();
        if (!page.waitForFinished(5000)) page.kill();
        page.waitForFinished(5000);
    }
    const double n = double(state.iterations());
    state.counters["switch_ms"] = switchMs / n;
    state.counters["start_cpu_ms"] = startCpuMs / n;
    state.counters["switch_cpu_ms"] = switchCpuMs / n;
    state.counters["PSS_MiB"] = pss / n / 1024;
    state.counters["RSS_MiB"] = rss / n / 1024;
}
BENCHMARK(BM_PageProgram)
    ->ArgName("confined")
    ->Arg(0)
    ->Arg(1)
    ->Arg(0)
    ->Arg(1)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velluma::bench

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
