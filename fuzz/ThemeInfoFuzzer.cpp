// Reading what the theme library shows of a package, on any bytes.
#include "FuzzSupport.h"
#include "themes/ThemePackage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velluma;
    const std::string path = fuzz::writeScratchFile("fuzz.tvp", fuzz::bytesOf(data, size));
    TThemeInfo info;
    info.Name = "unchanged";
    info.Style = 7;
    if (!ReadThemeInfo(path, info)) FUZZ_CHECK(info.Name == "unchanged" && info.Style == 7);
    return 0;
}
