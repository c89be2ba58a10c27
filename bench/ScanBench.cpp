// Start-up scan of a theme folder of 1,000 packages against a bare loop that opens each
// archive with libzip and reads its theme.cfg into memory.
#include <dirent.h>
#include <zip.h>

#include <cstdio>

#include "BenchSupport.h"
#include "themes/MemoryThemeList.h"
#include "themes/ThemePackage.h"

namespace velluma::bench {
namespace {

constexpr int kPackages = 1000;

BenchProgram& program() {
    static const std::unique_ptr<BenchProgram> p = [] {
        auto made = std::make_unique<BenchProgram>();
        const std::string folder = made->programFolder + "/advThemes";
        for (int i = 0; i < kPackages; ++i) WriteLibraryPackage(folder, i, kPackages);
        return made;
    }();
    return *p;
}

void BM_ScanThemeFolder(benchmark::State& state) {
    BenchProgram& p = program();
    const std::string folder = p.programFolder + "/advThemes";
    for (auto _ : state) {
        MemoryThemeList list;
        ScanThemeFolder(*p.context, list, "", folder);
        if (list.rowCount() != kPackages) state.SkipWithError("not every package was listed");
    }
}

void BM_BareLibzipScan(benchmark::State& state) {
    BenchProgram& p = program();
    const std::string folder = p.programFolder + "/advThemes";
    for (auto _ : state) {
        std::size_t bytes = 0;
        DIR* dir = ::opendir(folder.c_str());
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() < 4 || name.compare(name.size() - 4, 4, ".tvp") != 0) continue;
            int code = 0;
            zip_t* za = zip_open((folder + "/" + name).c_str(), ZIP_RDONLY, &code);
            if (!za) continue;
            const zip_int64_t index = zip_name_locate(za, "theme.cfg", 0);
            if (zip_file_t* file = index < 0 ? nullptr : zip_fopen_index(za, index, 0)) {
                std::string content;
                char buffer[16384];
                zip_int64_t n;
                while ((n = zip_fread(file, buffer, sizeof buffer)) > 0)
                    content.append(buffer, static_cast<std::size_t>(n));
                zip_fclose(file);
                bytes += content.size();
            }
            zip_discard(za);
        }
        ::closedir(dir);
        benchmark::DoNotOptimize(bytes);
    }
}

BENCHMARK(BM_ScanThemeFolder)->Unit(benchmark::kMillisecond)->Repetitions(7)->MinTime(0.5);
BENCHMARK(BM_BareLibzipScan)->Unit(benchmark::kMillisecond)->Repetitions(7)->MinTime(0.5);

}  // namespace
}  // namespace velluma::bench

int main(int argc, char** argv) {
    return velluma::bench::RunWithRatios(argc, argv,
                                         {{"BM_ScanThemeFolder", "BM_BareLibzipScan", 1.5}});
}
