// Setting a 6000 x 4000 baseline JPEG as the wallpaper of a 3840 x 2160 desktop in stretch
// mode, against a bare libjpeg full-size decode of the same file; also the peak memory of
// one call.
#include <malloc.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

#include "../BenchSupport.h"
#include "PhotoFixture.h"
#include "core/Options.h"
#include "imagelists/WallpaperSetter.h"
#include "platform/posix/FileRegistry.h"
#include "platform/posix/RegistryWallpaperRefresh.h"

namespace velluma::bench {
namespace {

constexpr int kPictureWidth = 6000;
constexpr int kPictureHeight = 4000;
constexpr ScreenSize kDesktop{3840, 2160};

struct Fixture {
    BenchFolder folder;
    std::string programFolder = folder.path() + "/Velluma";
    std::string picture = folder.path() + "/photo.jpg";
    std::unique_ptr<FileRegistry> registry;
    std::unique_ptr<RegistryWallpaperRefresh> refresh;
    TOptions options;  // stretch mode for every picture
    std::unique_ptr<WallpaperContext> context;

    Fixture() {
        std::filesystem::create_directories(programFolder + "/imgLists/WorkDir");
        std::filesystem::create_directories(programFolder + "/registry");
        registry = std::make_unique<FileRegistry>(programFolder + "/registry");
        refresh = std::make_unique<RegistryWallpaperRefresh>(*registry);
        context = std::make_unique<WallpaperContext>(
            WallpaperContext{programFolder, options, *registry, *refresh, [] { return kDesktop; }});
        WritePhoto(picture, kPictureWidth, kPictureHeight);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_SetWallpaperPicture(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) SetWallpaperPicture(*f.context, f.picture);
}

// libjpeg with its defaults, every row decoded into one row buffer and dropped.
void decodeBare(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(info.output_width) * 3);
    JSAMPROW rows[] = {row.data()};
    while (info.output_scanline < info.output_height) jpeg_read_scanlines(&info, rows, 1);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    benchmark::DoNotOptimize(row.data());
}

void BM_BareJpegDecode(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) decodeBare(f.picture);
}

BENCHMARK(BM_SetWallpaperPicture)->Unit(benchmark::kMillisecond)->Repetitions(7)->MinTime(1.0);
BENCHMARK(BM_BareJpegDecode)->Unit(benchmark::kMillisecond)->Repetitions(7)->MinTime(1.0);

double peakMiB(const std::function<void()>& call) {
    ::malloc_trim(0);
    ResetPeakResident();
    const long before = ResidentKiB();
    call();
    return static_cast<double>(PeakResidentKiB() - before) / 1024;
}

void reportPeakMemory() {
    // Large blocks always come from and go back to the system, so that one call's peak is
    // not hidden by memory an earlier call left in the heap.
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
    Fixture& f = fixture();
    const double outputMiB =
        static_cast<double>(54 + std::size_t(kDesktop.width) * 3 * kDesktop.height) / (1 << 20);
    const double setter = peakMiB([&] { SetWallpaperPicture(*f.context, f.picture); });
    const double bare = peakMiB([&] { decodeBare(f.picture); });
    std::printf(
        "PEAK SetWallpaperPicture: %d x %d JPEG of %.1f MiB onto %d x %d; peak resident memory "
        "%.1f MiB above the start (bare decode: %.1f MiB; goal <= output %.1f + 32 MiB): %s\n",
        kPictureWidth, kPictureHeight,
        static_cast<double>(std::filesystem::file_size(f.picture)) / (1 << 20), kDesktop.width,
        kDesktop.height, setter, bare, outputMiB, setter <= outputMiB + 32 ? "met" : "NOT MET");
}

}  // namespace
}  // namespace velluma::bench

int main(int argc, char** argv) {
    return velluma::bench::RunWithRatios(argc, argv,
                                         {{"BM_SetWallpaperPicture", "BM_BareJpegDecode", 1.2}},
                                         velluma::bench::reportPeakMemory);
}
