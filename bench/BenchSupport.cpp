#include "BenchSupport.h"

#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>

#include <QCoreApplication>

#include "platform/posix/EmulatedActiveDesktop.h"
#include "platform/posix/FileRegistry.h"
#include "platform/posix/RegistryWallpaperRefresh.h"
#include "themes/DesktopComponents.h"
#include "themes/PageGenerator.h"

namespace velluma::bench {
namespace {

class QuietShell final : public Shell {
public:
    int open(const std::string&, ShowMode, OpenFailed) override { return kShellSuccess; }
    void openDisplaySettings() override {}
    void createShortcut(const std::string&, const std::string&, const std::string&,
                        const std::string&) override {}
    std::string defaultStartupFolder() override { return {}; }
};

class QuietBoxes final : public MessageBoxes {
public:
    MessageAnswer show(const std::string&, const std::string&, MessageIcon,
                       MessageButtons) override {
        return MessageAnswer::Ok;
    }
};

// Moves on by one millisecond per read, like a busy program would.
class SteppingClock final : public Clock {
public:
    std::uint32_t tickCount() override { return m_now++; }

private:
    std::uint32_t m_now = 5000;
};

class FixedScreen final : public Screen {
public:
    ScreenSize virtualDesktopSize() override { return {1920, 1080}; }
};

long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return -1;
}

class RatioReporter final : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(OutputOptions options) : ConsoleReporter(options) {}

    std::map<std::string, double> best;  // function name -> best real time (ms)

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            double ms = run.GetAdjustedRealTime();
            switch (run.time_unit) {
                case benchmark::kNanosecond:
                    ms /= 1e6;
                    break;
                case benchmark::kMicrosecond:
                    ms /= 1e3;
                    break;
                case benchmark::kMillisecond:
                    break;
                case benchmark::kSecond:
                    ms *= 1e3;
                    break;
            }
            auto [it, added] = best.emplace(run.run_name.function_name, ms);
            if (!added && ms < it->second) it->second = ms;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

BenchFolder::BenchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velluma-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

BenchFolder::~BenchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937_64 generator(seed);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const std::uint64_t v = generator();
        std::memcpy(bytes.data() + i, &v, 8);
    }
    return bytes;
}

std::string Text(std::size_t size, unsigned seed) {
    static const char* words[] = {
        "document", "writeln",  "<param", "name=", "value=", "movie", "width",     "height",
        "var",      "function", "{",      "}",     ";",      "\r\n",  "background"};
    std::mt19937 generator(seed);
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        text += words[generator() % std::size(words)];
        text += ' ';
        if (generator() % 7 == 0) text += std::to_string(generator() % 100000);
    }
    text.resize(size);
    return text;
}

void WriteArchive(const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& entries) {
    int code = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!za) throw std::runtime_error("cannot create " + path);
    for (const auto& [name, content] : entries) {
        zip_source_t* source = zip_source_buffer(za, content.data(), content.size(), 0);
        const zip_int64_t index = zip_file_add(za, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) throw std::runtime_error(zip_strerror(za));
        zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 6);
    }
    if (zip_close(za) != 0) throw std::runtime_error(zip_strerror(za));
}

BenchProgram::BenchProgram() : programFolder(folder.path() + "/Velluma") {
    std::filesystem::create_directories(programFolder + "/advThemes/WorkDir");
    std::filesystem::create_directories(programFolder + "/advThemes/Recycled");
    std::filesystem::create_directories(programFolder + "/registry");
    platform.registry = std::make_unique<FileRegistry>(programFolder + "/registry");
    platform.activeDesktop = std::make_unique<EmulatedActiveDesktop>(*platform.registry);
    platform.wallpaperRefresh = std::make_unique<RegistryWallpaperRefresh>(*platform.registry);
    platform.shell = std::make_unique<QuietShell>();
    platform.screen = std::make_unique<FixedScreen>();
    platform.clock = std::make_unique<SteppingClock>();
    platform.messageBoxes = std::make_unique<QuietBoxes>();
    platform.registry->createKey(Hive::ClassesRoot, kActiveDesktopClassKey);
    platform.registry->createKey(Hive::ClassesRoot, kFlashPlayerClassKey);
    context = std::make_unique<ThemeContext>(MakeThemeContext(platform, programFolder));
    context->processEvents = [] { QCoreApplication::processEvents(); };
}

BenchProgram::~BenchProgram() = default;

int RunWithRatios(int argc, char** argv, const std::vector<RatioGoal>& goals,
                  const std::function<void()>& first) {
    // A program that needs widgets makes its QApplication before it calls this.
    std::optional<QCoreApplication> app;
    if (!QCoreApplication::instance()) app.emplace(argc, argv);
    if (first) first();
    // Repetitions of the measured and the reference run interleaved, so that a neighbour's
    // load on the shared machine falls on both alike.
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    bool given = false;
    for (int i = 1; i < argc; ++i)
        given =
            given || std::string(argv[i]).rfind("--benchmark_enable_random_interleaving", 0) == 0;
    if (!given) args.push_back(interleave.data());
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter(::isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                   : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bool allMet = true;
    for (const RatioGoal& g : goals) {
        auto measured = reporter.best.find(g.measured);
        auto reference = reporter.best.find(g.reference);
        if (measured == reporter.best.end() || reference == reporter.best.end()) continue;
        const double ratio = measured->second / reference->second;
        const bool met = ratio <= g.goal;
        allMet = allMet && met;
        std::printf("RATIO %s / %s = %.3f ms / %.3f ms = %.2f (goal <= %.2f): %s\n",
                    g.measured.c_str(), g.reference.c_str(), measured->second, reference->second,
                    ratio, g.goal, met ? "met" : "NOT MET");
    }
    benchmark::Shutdown();
    return allMet ? 0 : 1;
}

long PeakResidentKiB() {
    return statusKiB("VmHWM");
}

long ResidentKiB() {
    return statusKiB("VmRSS");
}

void ResetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::string WriteLibraryPackage(const std::string& folder, int i, int count) {
    const std::string n = std::to_string(i);
    const std::string path = folder + "/Theme" + n + ".tvp";
    WriteArchive(path, {{"theme.cfg", "[Style]\r\nindex=" + std::to_string(i % 5) +
                                          "\r\n[Files]\r\nstartup=\\index.htm\r\n[Name]\r\n"
                                          "ThemeName=Theme " +
                                          n +
                                          "\r\n[Author]\r\nThemeAuthor=Bench\r\n"
                                          "[Description]\r\nDescription=Generated\r\n"},
                        {"index.htm", Text(1500, unsigned(i))},
                        {"resol.js", ResolScriptText()},
                        {"css.css", StyleSheetText({})},
                        {"movie.swf", Noise(24 << 10, unsigned(i))},
                        {"back.jpg", Noise(12 << 10, unsigned(i + count))}});
    return path;
}

}  // namespace velluma::bench
