#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "support/TempFolder.h"
#include "support/TestPlatform.h"
#include "themes/ThemeContext.h"

namespace velluma {
class RegistryWallpaperRefresh;
}

namespace velluma::test {

/// One entry of a hand-made archive; every field a hostile archive could lie about is
/// under the test's control.
struct RawEntry {
    std::string name;
    std::string data;          // as stored: already deflated when method is 8
    std::uint16_t method = 0;  // 0 stored, 8 deflated
    std::int64_t size = -1;    // declared uncompressed size; -1: data's size
    std::int64_t crc = -1;     // -1: the CRC of data
    std::uint32_t externalAttributes = 0;
    std::uint8_t madeBy = 3;        // 3 Unix, 0 DOS
    int sharesDataOf = -1;          // >= 0: point at that entry's local header instead of our own
    std::uint16_t flags = 0;        // general purpose bits (0x800: the name is UTF-8)
    std::int64_t localOffset = -1;  // >= 0: no local header of our own, the directory points here
};

/// The bytes of an archive of raw entries.
std::string BuildRawZip(const std::vector<RawEntry>& entries);
/// Deflate without a zlib header, as ZIP stores it.
std::string RawDeflate(const std::string& data, int level = 6);

using Files = std::vector<std::pair<std::string, std::string>>;
/// Writes an archive of (name, content) entries with the program's own writer.
std::string WritePackage(const std::string& path, const Files& entries);
/// The names of an archive's entries, in order.
std::vector<std::string> ArchiveNames(const std::string& path);
/// One entry's content ("" when missing).
std::string ArchiveEntry(const std::string& path, const std::string& name);

/// A program folder (advThemes with Recycled and WorkDir), a test platform with both
/// desktop components registered, a 1024x768 desktop and a context that counts the event
/// dispatches.
class ThemeWorld {
public:
    /// withComponents false: neither desktop component is registered.
    explicit ThemeWorld(bool withComponents = true);

    TempFolder temp;
    std::string programFolder;
    Platform platform;
    ThemeContext context;
    int eventsProcessed = 0;
    ScreenSize desktop{1024, 768};

    std::string themeFolder() const { return programFolder + "/advThemes"; }
    std::string workDir() const { return programFolder + "/advThemes/WorkDir"; }
    FakeClock& clock();
    RecordingMessageBoxes& boxes();
    RecordingShell& shell();
    RegistryWallpaperRefresh& refresh();
};

}  // namespace velluma::test
