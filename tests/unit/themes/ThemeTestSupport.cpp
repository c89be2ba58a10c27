#include "ThemeTestSupport.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/posix/RegistryWallpaperRefresh.h"
#include "themes/DesktopComponents.h"
#include "themes/ZipArchive.h"

namespace velluma::test {
namespace {

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>((v >> 8) & 0xff);
}

void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

std::uint32_t crcOf(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

constexpr std::uint32_t kDosDate = ((2020 - 1980) << 9) | (1 << 5) | 1;

}  // namespace

std::string BuildRawZip(const std::vector<RawEntry>& entries) {
    std::string out;
    std::vector<std::uint32_t> offsets;
    for (const RawEntry& e : entries) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        if (e.sharesDataOf >= 0 || e.localOffset >= 0) continue;
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, e.flags);
        put16(out, e.method);
        put16(out, 0);
        put16(out, kDosDate);
        put32(out, e.crc >= 0 ? static_cast<std::uint32_t>(e.crc) : crcOf(e.data));
        put32(out, static_cast<std::uint32_t>(e.data.size()));
        put32(out, static_cast<std::uint32_t>(e.size >= 0 ? e.size : std::int64_t(e.data.size())));
        put16(out, static_cast<std::uint32_t>(e.name.size()));
        put16(out, 0);
        out += e.name;
        out += e.data;
    }
    const auto directory = static_cast<std::uint32_t>(out.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const RawEntry& e = entries[i];
        const RawEntry& stored = e.sharesDataOf >= 0 ? entries[e.sharesDataOf] : e;
        put32(out, 0x02014b50);
        put16(out, (std::uint32_t{e.madeBy} << 8) | 20);
        put16(out, 20);
        put16(out, e.flags);
        put16(out, stored.method);
        put16(out, 0);
        put16(out, kDosDate);
        put32(out, stored.crc >= 0 ? static_cast<std::uint32_t>(stored.crc) : crcOf(stored.data));
        put32(out, static_cast<std::uint32_t>(stored.data.size()));
        put32(out, static_cast<std::uint32_t>(stored.size >= 0 ? stored.size
                                                               : std::int64_t(stored.data.size())));
        put16(out, static_cast<std::uint32_t>(e.name.size()));
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put32(out, e.externalAttributes);
        put32(out,
              e.localOffset >= 0
                  ? static_cast<std::uint32_t>(e.localOffset)
                  : offsets[e.sharesDataOf >= 0 ? static_cast<std::size_t>(e.sharesDataOf) : i]);
        out += e.name;
    }
    const auto directorySize = static_cast<std::uint32_t>(out.size()) - directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(entries.size()));
    put16(out, static_cast<std::uint32_t>(entries.size()));
    put32(out, directorySize);
    put32(out, directory);
    put16(out, 0);
    return out;
}

std::string RawDeflate(const std::string& data, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

std::string WritePackage(const std::string& path, const Files& entries) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<ZipInput> inputs;
    for (const auto& [name, content] : entries) inputs.push_back(ZipInput::data(name, content));
    writeZipArchive(path, inputs);
    return path;
}

std::vector<std::string> ArchiveNames(const std::string& path) {
    std::vector<std::string> names;
    int code = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!za) return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i)
        names.emplace_back(zip_get_name(za, static_cast<zip_uint64_t>(i), 0));
    zip_discard(za);
    return names;
}

std::string ArchiveEntry(const std::string& path, const std::string& name) {
    int code = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!za) return {};
    std::string content;
    if (zip_file_t* f = zip_fopen(za, name.c_str(), 0)) {
        char buffer[4096];
        zip_int64_t n;
        while ((n = zip_fread(f, buffer, sizeof buffer)) > 0)
            content.append(buffer, static_cast<std::size_t>(n));
        zip_fclose(f);
    }
    zip_discard(za);
    return content;
}

ThemeWorld::ThemeWorld(bool withComponents)
    : programFolder(temp.makeFolder("Velluma")),
      platform(makeTestPlatform(temp.makeFolder("Velluma/registry"))),
      context(MakeThemeContext(platform, programFolder)) {
    temp.makeFolder("Velluma/advThemes/Recycled");
    temp.makeFolder("Velluma/advThemes/WorkDir");
    if (withComponents) {
        platform.registry->createKey(Hive::ClassesRoot, kActiveDesktopClassKey);
        platform.registry->createKey(Hive::ClassesRoot, kFlashPlayerClassKey);
    }
    context.desktopSize = [this] { return desktop; };
    context.processEvents = [this] { ++eventsProcessed; };
}

FakeClock& ThemeWorld::clock() {
    return static_cast<FakeClock&>(*platform.clock);
}
RecordingMessageBoxes& ThemeWorld::boxes() {
    return static_cast<RecordingMessageBoxes&>(*platform.messageBoxes);
}
RecordingShell& ThemeWorld::shell() {
    return static_cast<RecordingShell&>(*platform.shell);
}
RegistryWallpaperRefresh& ThemeWorld::refresh() {
    return static_cast<RegistryWallpaperRefresh&>(*platform.wallpaperRefresh);
}

}  // namespace velluma::test
