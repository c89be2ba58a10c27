// Unpacking a package on any bytes, as showing a theme does: whatever the archive holds,
// nothing lands outside the work folder, nothing but plain files and folders lands inside
// it, and an archive that unpacks gives back exactly its entries.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "themes/ZipArchive.h"

namespace velluma {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCanary = "left alone";

// Small budgets keep each run fast; the checks against them are the same as in use.
ExtractLimits fuzzLimits() {
    ExtractLimits limits;
    limits.maxTotalBytes = std::uint64_t(4) << 20;
    limits.maxEntryBytes = std::uint64_t(2) << 20;
    limits.maxEntries = 2000;
    return limits;
}

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::string contentOf(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
        std::fclose(file);
    }
    return text;
}

}  // namespace
}  // namespace velluma

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velluma;
    const std::string scratch = fuzz::scratchFolder();
    fuzz::emptyFolder(scratch);
    const std::string jail = scratch + "/jail";
    const std::string work = jail + "/work";
    fs::create_directories(work);
    fuzz::writeScratchFile("jail/canary", kCanary);
    const std::string package = fuzz::writeScratchFile("fuzz.tvp", fuzz::bytesOf(data, size));

    const ExtractLimits limits = fuzzLimits();
    bool unpacked = false;
    bool refusedBeforeWriting = false;
    std::optional<ZipReader> reader;
    try {
        reader.emplace(ZipReader::openForExtraction(package));
        reader->extractAll(work, limits);
        unpacked = true;
    } catch (const ZipError& e) {
        // On a healthy disk with room to spare only the archive can be at fault: it is
        // refused, damaged or unreadable, never found unpackable half-way.
        const std::string_view why = e.what();
        FUZZ_CHECK(why.find("cannot be unpacked") == std::string_view::npos);
        // Only data that turns out longer than declared is refused once writing has begun.
        refusedBeforeWriting = why.find("is refused") != std::string_view::npos &&
                               why.find("than its declared size") == std::string_view::npos;
    }

    FUZZ_CHECK((namesIn(scratch) == std::set<std::string>{"jail", "fuzz.tvp"}));
    FUZZ_CHECK((namesIn(jail) == std::set<std::string>{"canary", "work"}));
    FUZZ_CHECK(contentOf(jail + "/canary") == kCanary);

    std::map<std::string, std::string> files;  // relative path -> content
    std::uint64_t total = 0;
    for (auto it = fs::recursive_directory_iterator(work); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::file_status status = it->symlink_status();
        FUZZ_CHECK(fs::is_regular_file(status) || fs::is_directory(status));
        if (!fs::is_regular_file(status)) continue;
        const std::string content = contentOf(it->path().string());
        total += content.size();
        files.emplace(fs::relative(it->path(), work).string(), content);
    }
    FUZZ_CHECK(total <= limits.maxTotalBytes);
    if (refusedBeforeWriting) FUZZ_CHECK(fs::is_empty(work));

    if (unpacked) {
        // Every file entry is there with its content, and nothing else is.
        std::size_t fileEntries = 0;
        const std::vector<ZipEntry>& entries = reader->entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].type != ZipEntry::Type::File) continue;
            ++fileEntries;
            const auto found = files.find(entries[i].name);
            FUZZ_CHECK(found != files.end());
            FUZZ_CHECK(found->second == reader->read(i, limits.maxEntryBytes));
        }
        FUZZ_CHECK(files.size() == fileEntries);
    }
    return 0;
}
