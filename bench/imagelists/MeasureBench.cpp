// Measuring a 6000 x 4000 photo as it is added to a list, baseline and progressive (goal: at
// most 1.1x passing over its rows at full size, the way measuring once skipped them and
// missed a cut-off file's end).
#include <filesystem>

#include "../BenchSupport.h"
#include "PhotoFixture.h"
#include "formats/JpegSource.h"
#include "imagelists/PictureFile.h"

namespace velluma::bench {
namespace {

constexpr int kPictureWidth = 6000;
constexpr int kPictureHeight = 4000;

struct Fixture {
    BenchFolder folder;
    std::string baseline = folder.path() + "/baseline.jpg";
    std::string progressive = folder.path() + "/progressive.jpg";

    Fixture() {
        WritePhoto(baseline, kPictureWidth, kPictureHeight);
        WritePhoto(progressive, kPictureWidth, kPictureHeight, true);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void measure(benchmark::State& state, const std::string& path) {
    for (auto _ : state) benchmark::DoNotOptimize(MeasurePicture(path));
}

void skipRows(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        const auto source = JpegSource::openFile(path);
        for (int y = 0; y < source->height(); ++y) source->readRow(nullptr);
    }
}

void BM_MeasureBaseline(benchmark::State& state) {
    measure(state, fixture().baseline);
}
void BM_SkipRowsBaseline(benchmark::State& state) {
    skipRows(state, fixture().baseline);
}
void BM_MeasureProgressive(benchmark::State& state) {
    measure(state, fixture().progressive);
}
void BM_SkipRowsProgressive(benchmark::State& state) {
    skipRows(state, fixture().progressive);
}

BENCHMARK(BM_MeasureBaseline)->Unit(benchmark::kMillisecond)->Repetitions(5)->MinTime(1.0);
BENCHMARK(BM_SkipRowsBaseline)->Unit(benchmark::kMillisecond)->Repetitions(5)->MinTime(1.0);
BENCHMARK(BM_MeasureProgressive)->Unit(benchmark::kMillisecond)->Repetitions(5)->MinTime(1.0);
BENCHMARK(BM_SkipRowsProgressive)->Unit(benchmark::kMillisecond)->Repetitions(5)->MinTime(1.0);

}  // namespace
}  // namespace velluma::bench

int main(int argc, char** argv) {
    return velluma::bench::RunWithRatios(
        argc, argv,
        {{"BM_MeasureBaseline", "BM_SkipRowsBaseline", 1.1},
         {"BM_MeasureProgressive", "BM_SkipRowsProgressive", 1.1}});
}
