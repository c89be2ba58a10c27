// Language files on any bytes, with the flag icon they name. The input is the language
// file, optionally followed by kIconMark and the bytes of Languages/flags/fuzz.ico.
#include <QtGlobal>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "formats/IniFile.h"
#include "language/Language.h"

namespace {
constexpr std::string_view kIconMark{"\0ICON\0", 6};
}

// Qt's icon reader warns about every damaged icon; the warnings only slow the run down.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velluma;
    const std::string_view input = fuzz::bytesOf(data, size);
    const std::size_t mark = input.find(kIconMark);
    const std::string_view text = input.substr(0, mark);

    static const bool folders = [] {
        std::filesystem::create_directories(fuzz::scratchFolder() + "/Languages/flags");
        return true;
    }();
    (void)folders;
    const std::string path = fuzz::writeScratchFile("Languages/fuzz.lng", text);
    const std::string icon = fuzz::scratchFolder() + "/Languages/flags/fuzz.ico";
    if (mark != std::string_view::npos)
        fuzz::writeScratchFile("Languages/flags/fuzz.ico", input.substr(mark + kIconMark.size()));
    else
        std::filesystem::remove(icon);

    const TLanguage language(path);
    for (const TextKey& key : languageTextKeys())
        FUZZ_CHECK(language.text(key.section, key.key).size() <= IniFile::kMaxValue);
    const LanguageHeader header = ReadLanguageHeader(path, fuzz::scratchFolder());
    FUZZ_CHECK(header.name == language.Name());
    return 0;
}
