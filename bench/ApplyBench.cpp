// Showing a 50 MB package of 500 entries against a bare libzip extraction of the same
// archive to a fresh folder; also the peak memory of one application.
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <filesystem>

#include "BenchSupport.h"
#include "themes/Presenter.h"

namespace velluma::bench {
namespace {

constexpr int kEntries = 500;
constexpr std::size_t kEntryBytes = 120 << 10;

struct Fixture {
    std::unique_ptr<BenchProgram> program = std::make_unique<BenchProgram>();
    std::string package;
};

Fixture& fixture() {
    static Fixture f = [] {
        Fixture made;
        made.package = made.program->programFolder + "/advThemes/Big.tvp";
        std::vector<std::pair<std::string, std::string>> entries;
        entries.emplace_back("theme.cfg",
                             "[Style]\r\nindex=0\r\n[Files]\r\nstartup=\\index.htm\r\n");
        entries.emplace_back("index.htm", Text(4096, 1));
        // Mostly media that does not compress, some pages in folders that do.
        for (int i = 2; i < kEntries; ++i) {
            const std::string n = std::to_string(i);
            if (i % 5 == 0)
                entries.emplace_back("pages/part" + std::to_string(i % 7) + "/page" + n + ".htm",
                                     Text(kEntryBytes, i));
            else
                entries.emplace_back("media" + n + ".swf", Noise(kEntryBytes, i));
        }
        WriteArchive(made.package, entries);
        return made;
    }();
    return f;
}

void BM_ApplyThemePackage(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        const auto applied = ApplyThemePackage(*f.program->context, f.package, "/help");
        state.PauseTiming();
        if (!applied) state.SkipWithError("the package was not shown");
        std::filesystem::remove_all(applied->workFolder);
        state.ResumeTiming();
    }
}

void extractBare(const std::string& package, const std::string& folder) {
    ::mkdir(folder.c_str(), 0755);
    int code = 0;
    zip_t* za = zip_open(package.c_str(), ZIP_RDONLY, &code);
    std::vector<char> buffer(std::size_t(256) << 10);
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const std::string name = zip_get_name(za, static_cast<zip_uint64_t>(i), 0);
        const std::string path = folder + "/" + name;
        if (name.back() == '/') {
            std::filesystem::create_directories(path);
            continue;
        }
        if (name.find('/') != std::string::npos)
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        zip_file_t* file = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
        zip_int64_t n;
        while ((n = zip_fread(file, buffer.data(), buffer.size())) > 0)
            if (::write(fd, buffer.data(), static_cast<std::size_t>(n)) != n) break;
        zip_fclose(file);
        ::close(fd);
    }
    zip_discard(za);
}

void BM_BareLibzipExtract(benchmark::State& state) {
    Fixture& f = fixture();
    const std::string folder = f.program->programFolder + "/advThemes/WorkDir/bare";
    for (auto _ : state) {
        extractBare(f.package, folder);
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        state.ResumeTiming();
    }
}

BENCHMARK(BM_ApplyThemePackage)->Unit(benchmark::kMillisecond)->Repetitions(7)->MinTime(1.0);
BENCHMARK(BM_BareLibzipExtract)->Unit(benchmark::kMillisecond)->Repetitions(7)->MinTime(1.0);

void reportPeakMemory() {
    Fixture& f = fixture();
    struct stat st {};
    ::stat(f.package.c_str(), &st);
    const double packageMiB = static_cast<double>(st.st_size) / (1 << 20);
    ::malloc_trim(0);
    ResetPeakResident();
    const long before = ResidentKiB();
    const auto applied = ApplyThemePackage(*f.program->context, f.package, "/help");
    const long peak = PeakResidentKiB();
    std::filesystem::remove_all(applied->workFolder);
    const double extraMiB = static_cast<double>(peak - before) / 1024;
    std::printf(
        "PEAK ApplyThemePackage: package %.1f MiB, %d entries; peak resident memory "
        "%.1f MiB above the start (goal <= %.1f MiB): %s\n",
        packageMiB, kEntries, extraMiB, packageMiB + 32,
        extraMiB <= packageMiB + 32 ? "met" : "NOT MET");
}

}  // namespace
}  // namespace velluma::bench

int main(int argc, char** argv) {
    return velluma::bench::RunWithRatios(argc, argv,
                                         {{"BM_ApplyThemePackage", "BM_BareLibzipExtract", 1.2}},
                                         velluma::bench::reportPeakMemory);
}
