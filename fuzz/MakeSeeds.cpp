// Writes the seed corpora: small files of every kind the fuzz targets read, each made here
// by our own writers and test fixtures. Usage: velluma_fuzz_seeds <corpus folder>
#include <zlib.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "PictureFixtures.h"
#include "ThemeTestSupport.h"
#include "formats/BmpCodec.h"
#include "platform/posix/FileRegistry.h"
#include "support/TempFolder.h"
#include "ui/MetafileFixtures.h"

namespace velluma {
namespace {

namespace fs = std::filesystem;
using test::BuildRawZip;
using test::RawBmp;
using test::RawDeflate;
using test::RawEntry;

fs::path g_root;

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
    const fs::path folder = g_root / target;
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary) << bytes;
}

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void iniSeeds() {
    seed("ini", "theme.cfg",
         "[Name]\r\nThemeName=Evening Sky\r\n[Author]\r\nThemeAuthor=Velluma\r\n"
         "[Style]\r\nindex=2\r\n[Files]\r\nstartup=\\index.htm\r\nFlashMovie=sky.swf\r\n"
         "css=css.css\r\n[FlashFile]\r\nDefaultWidth(in percents)=100\r\nQuality=4\r\n"
         "bgcolor=000000\r\n");
    seed("ini", "quotes-and-blanks.ini",
         "; comment\r\n  [ Spaced ]  \r\n key = \"quoted value\" \r\nsingle='x'\r\n"
         "half=\"open\r\nnovalue\r\n\x1a");
    seed("ini", "duplicates.ini", "[A]\nk=1\nk=2\n[a]\nk=3\nother=4\n[B]\n=empty name\n");
    seed("ini", "bom-cr.ini", "\xEF\xBB\xBF[Sec]\rkey=value\r[Sec2]\rk2=v2");
    seed("ini", "no-section.ini", "before=1\n[last]\nlast=no line break");
}

void registrySeeds() {
    std::vector<ParsedKey> keys = {
        {"Control Panel\\Desktop",
         {{"Wallpaper", RegValue::string("C:\\pictures\\sea \"blue\".bmp")},
          {"TileWallpaper", RegValue::string("0")}}},
        {"Software\\Microsoft\\Internet Explorer\\Desktop\\General",
         {{"ActiveDesktop", RegValue::number(1)}, {"EnableComponents", RegValue::number(0)}}},
        {"Software\\Velluma", {{"", RegValue::string("default")}, {"state", RegValue::number(10)}}},
        {"Software\\Empty", {}},
    };
    seed("registry", "hkcu.reg", renderHiveText(keys, Hive::CurrentUser));
    seed("registry", "lf-bom-merge.reg",
         "\xEF\xBB\xBFREGEDIT4\n\n[HKEY_CURRENT_USER\\\\A\\\\B\\]\n\"x\"=dword:0000ffff\n\n"
         "[hkey_current_user\\a\\b]\n\"X\"=\"later\"\n@=\"at\"\n\n[HKEY_CURRENT_USER]\n");
    seed("registry", "hklm.reg",
         "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID]\r\n\"n\"=\"v\"\r\n");
}

void listSeeds() {
    seed("list_lines", "crlf.lst",
         "/home/u/Pictures/sea.jpg?1024*768\r\n/home/u/Pictures/old.bmp?640*480\r\n");
    seed("list_lines", "mixed-ends.lst", "/a.jpeg?1*1\n\n/b.BMP?2*2\r/c.txt\r\nno mark?x?y");
}

std::string bmpPixels(int width, int height, int bits) {
    const std::size_t stride = ((std::size_t(width) * bits + 31) / 32) * 4;
    std::string pixels(stride * std::size_t(height), '\0');
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<char>(i * 37 + 11);
    return pixels;
}

void bmpSeeds() {
    const RgbImage pattern = test::TestPattern(5, 3);
    seed("bmp", "rgb24.bmp", EncodeBmp24(pattern));
    for (const int bits : {1, 4, 8}) {
        RawBmp bmp;
        bmp.width = 5;
        bmp.height = 3;
        bmp.bitCount = static_cast<std::uint16_t>(bits);
        for (int i = 0; i < (1 << bits) && i < 16; ++i)
            bmp.palette.push_back(0x102030u * static_cast<std::uint32_t>(i + 1));
        bmp.colorsUsed = static_cast<std::uint32_t>(bmp.palette.size());
        bmp.pixels = bmpPixels(5, 3, bits);
        seed("bmp", "palette" + std::to_string(bits) + ".bmp", test::BuildBmp(bmp));
    }
    RawBmp fields;
    fields.width = 4;
    fields.height = -2;  // top-down
    fields.bitCount = 16;
    fields.compression = 3;
    fields.masks = {0xF800, 0x07E0, 0x001F};
    fields.pixels = bmpPixels(4, 2, 16);
    seed("bmp", "bitfields16-topdown.bmp", test::BuildBmp(fields));
    RawBmp v5;
    v5.headerSize = 124;
    v5.width = 3;
    v5.height = 2;
    v5.bitCount = 32;
    v5.compression = 3;
    v5.masks = {0xFF0000, 0xFF00, 0xFF};
    v5.pixels = bmpPixels(3, 2, 32);
    seed("bmp", "v5-rgb32.bmp", test::BuildBmp(v5));
    RawBmp core;
    core.headerSize = 12;
    core.width = 3;
    core.height = 2;
    core.bitCount = 4;
    for (std::uint32_t i = 0; i < 16; ++i) core.palette.push_back(i * 0x0F0F0F);
    core.pixels = bmpPixels(3, 2, 4);
    seed("bmp", "os2-core.bmp", test::BuildBmp(core));
}

void jpegSeeds() {
    const RgbImage pattern = test::TestPattern(24, 17);
    seed("jpeg", "baseline.jpg", test::EncodeJpeg(pattern, {.quality = 75}));
    seed("jpeg", "progressive.jpg",
         test::EncodeJpeg(pattern, {.quality = 75, .progressive = true}));
    seed("jpeg", "gray.jpg", test::EncodeJpeg(pattern, {.quality = 60, .grayscale = true}));
    seed("jpeg", "full-chroma.jpg", test::EncodeJpeg(pattern, {.quality = 50, .fullChroma = true}));
    seed("jpeg", "refinement.jpg",
         test::EncodeJpeg(test::TestPattern(8, 8),
                          {.quality = 50, .grayscale = true, .refinementPasses = 1}));
    seed("jpeg", "cmyk.jpg", test::EncodeCmykJpeg(9, 5, {10, 200, 30, 40}));
    // Cut off in its last rows, which skipping over rows never read.
    const std::string whole = test::EncodeJpeg(test::TestPattern(40, 32), {.fullChroma = true});
    seed("jpeg", "cut-off.jpg", whole.substr(0, whole.size() * 3 / 4));
}

constexpr std::uint32_t kUnixFile = 0100644u << 16;
constexpr std::uint32_t kUnixFolder = 0040755u << 16;
constexpr std::uint32_t kUnixLink = 0120777u << 16;

void put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

// One stored file in a ZIP64 archive: sizes and offsets only in the ZIP64 fields, the
// directory found through the ZIP64 end record.
std::string zip64Archive(const std::string& name, const std::string& data) {
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size()));
    std::string out;
    put(out, 0x04034b50, 4);
    put(out, 45, 2);  // version needed: ZIP64
    put(out, 0, 2);
    put(out, 0, 2);  // stored
    put(out, 0, 4);  // time and date
    put(out, crc, 4);
    put(out, 0xffffffff, 4);
    put(out, 0xffffffff, 4);
    put(out, name.size(), 2);
    put(out, 20, 2);
    out += name;
    put(out, 0x0001, 2);
    put(out, 16, 2);
    put(out, data.size(), 8);
    put(out, data.size(), 8);
    out += data;
    const std::uint64_t directory = out.size();
    put(out, 0x02014b50, 4);
    put(out, (3 << 8) | 45, 2);
    put(out, 45, 2);
    put(out, 0, 2);
    put(out, 0, 2);
    put(out, 0, 4);
    put(out, crc, 4);
    put(out, 0xffffffff, 4);
    put(out, 0xffffffff, 4);
    put(out, name.size(), 2);
    put(out, 28, 2);
    put(out, 0, 2);  // comment
    put(out, 0, 2);  // disk
    put(out, 0, 2);
    put(out, 0100644u << 16, 4);
    put(out, 0xffffffff, 4);
    out += name;
    put(out, 0x0001, 2);
    put(out, 24, 2);
    put(out, data.size(), 8);
    put(out, data.size(), 8);
    put(out, 0, 8);  // the local header's offset
    const std::uint64_t directorySize = out.size() - directory;
    const std::uint64_t end64 = out.size();
    put(out, 0x06064b50, 4);
    put(out, 44, 8);
    put(out, 45, 2);
    put(out, 45, 2);
    put(out, 0, 4);
    put(out, 0, 4);
    put(out, 1, 8);
    put(out, 1, 8);
    put(out, directorySize, 8);
    put(out, directory, 8);
    put(out, 0x07064b50, 4);
    put(out, 0, 4);
    put(out, end64, 8);
    put(out, 1, 4);
    put(out, 0x06054b50, 4);
    put(out, 0, 2);
    put(out, 0, 2);
    put(out, 0xffff, 2);
    put(out, 0xffff, 2);
    put(out, 0xffffffff, 4);
    put(out, 0xffffffff, 4);
    put(out, 0, 2);
    return out;
}

void zipSeeds() {
    const std::string config =
        "[Name]\r\nThemeName=Seed\r\n[Style]\r\nindex=1\r\n[Files]\r\nstartup=\\index.htm\r\n";
    const test::TempFolder temp;
    const std::string written = test::WritePackage(temp.file("written.tvp"),
                                                   {{"theme.cfg", config},
                                                    {"index.htm", "<html><body>seed</body></html>"},
                                                    {"images/", ""},
                                                    {"images/dot.gif", "GIF89a"}});
    const std::string package = fileBytes(written);
    const std::string bare = fileBytes(test::WritePackage(
        temp.file("bare.tvp"),
        {{"THEME.CFG", "[Files]\r\nFlashMovie=movie.swf\r\n"}, {"movie.swf", "FWS\x06"}}));
    const std::string pageText(300, 'a');
    const auto pageCrc = static_cast<std::int64_t>(
        crc32(0, reinterpret_cast<const Bytef*>(pageText.data()), uInt(pageText.size())));
    const std::string raw = BuildRawZip({
        {.name = "theme.cfg", .data = config, .externalAttributes = kUnixFile},
        {.name = "pages/", .externalAttributes = kUnixFolder},
        {.name = "pages/a.htm",
         .data = RawDeflate(pageText),
         .method = 8,
         .size = 300,
         .crc = pageCrc,
         .externalAttributes = kUnixFile},
    });
    const std::string dosNames = BuildRawZip({
        {.name = "Theme.Cfg", .data = "[Name]\r\nThemeName=DOS\r\n", .madeBy = 0},
        {.name = "sub/", .madeBy = 0},
        {.name = "sub/page.htm", .data = "<p>", .madeBy = 0, .flags = 0x800},
    });
    const std::string escape = BuildRawZip({{.name = "../outside.htm", .data = "x"}});
    const std::string link =
        BuildRawZip({{.name = "link", .data = "/etc", .externalAttributes = kUnixLink},
                     {.name = "link/x", .data = "x"}});
    const std::string letterCase =
        BuildRawZip({{.name = "a.htm", .data = "1"},
                     {.name = "A.htm", .data = "2"},
                     {.name = "THEME.cfg", .data = "[Name]\nThemeName=case\n"}});
    const std::string shared = BuildRawZip(
        {{.name = "one", .data = std::string(64, 'z')}, {.name = "two", .sharesDataOf = 0}});
    const std::string fileAndFolder =
        BuildRawZip({{.name = "a", .data = "file"}, {.name = "a/b", .data = "inside"}});
    for (const char* target : {"theme_info", "zip_extract"}) {
        seed(target, "written.tvp", package);
        seed(target, "bare-flash.tvp", bare);
        seed(target, "raw.tvp", raw);
        seed(target, "dos-names.tvp", dosNames);
        seed(target, "zip64.tvp", zip64Archive("theme.cfg", config));
    }
    seed("zip_extract", "escape.tvp", escape);
    seed("zip_extract", "link.tvp", link);
    seed("zip_extract", "letter-case.tvp", letterCase);
    seed("zip_extract", "shared-data.tvp", shared);
    seed("zip_extract", "file-and-folder.tvp", fileAndFolder);
}

// Bits written most significant first, as Flash stores its rectangles.
class BitWriter {
public:
    void put(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (m_used % 8 == 0) m_bytes.push_back('\0');
            if ((value >> i) & 1u) m_bytes.back() |= static_cast<char>(0x80 >> (m_used % 8));
            ++m_used;
        }
    }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    std::size_t m_used = 0;
};

// The body of a movie after its first eight bytes: stage, rate, frame count, tags.
std::string swfBody(int width, int height, bool background) {
    BitWriter rect;
    rect.put(15, 5);
    for (const int v : {0, width * 20, 0, height * 20}) rect.put(static_cast<std::uint32_t>(v), 15);
    std::string body = rect.bytes();
    body += std::string("\x00\x18\x01\x00", 4);  // 24 frames a second, one frame
    if (background) body += std::string("\x43\x02\x10\x20\x30", 5);  // SetBackgroundColor
    body += std::string("\x40\x00\x00\x00", 4);                      // ShowFrame, End
    return body;
}

std::string swfFile(const char* signature, const std::string& body, std::uint32_t length) {
    std::string file = signature;
    file += '\x0a';  // version 10
    for (int i = 0; i < 4; ++i) file += static_cast<char>((length >> (8 * i)) & 0xff);
    return file + body;
}

void swfSeeds() {
    const std::string body = swfBody(550, 400, true);
    const auto length = static_cast<std::uint32_t>(8 + body.size());
    seed("swf_header", "plain.swf", swfFile("FWS", body, length));
    const std::string tiny = swfBody(1, 1, false);
    seed("swf_header", "no-background.swf",
         swfFile("FWS", tiny, static_cast<std::uint32_t>(8 + tiny.size())));
    uLongf packedSize = compressBound(static_cast<uLong>(body.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef*>(body.data()), static_cast<uLong>(body.size()), 9);
    packed.resize(packedSize);
    seed("swf_header", "zlib.swf", swfFile("CWS", packed, length));
    seed("swf_header", "lzma.swf", swfFile("ZWS", std::string("\x05\x00\x00\x00\x5d", 5), length));
}

std::string smallIcon() {
    QImage image(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) image.setPixel(x, y, qRgba(x * 32, y * 32, 128, 255 - x * 8));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    if (!writer.write(image)) throw std::runtime_error("the icon cannot be written");
    return bytes.toStdString();
}

void languageSeeds(const fs::path& dataFolder) {
    for (const char* file : {"english.lng", "deutsch.lng", "francais.lng"})
        seed("language", file, fileBytes(dataFolder / "Languages" / file));
    const std::string mark("\0ICON\0", 6);
    seed("language", "with-icon.lng",
         "[LANGUAGE_NAME]\r\nname=Seed\r\n[COUNTRY_FLAG]\r\nfilename=\\Languages\\flags\\fuzz.ico"
         "\r\n[HELPFILE]\r\nfilename=\r\n" +
             mark + smallIcon());
}

// Metafiles built record by record: every kind of record the reader knows appears once.
void metafileSeeds() {
    using test::Bytes;
    using test::colorRef;
    const std::uint32_t red = colorRef(255, 0, 0);
    const std::string dib = test::Dib24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});

    Bytes stretchDib;  // META_STRETCHDIB: rop, usage, source h, w, y, x, dest h, w, y, x
    stretchDib.u32(0x00CC0020).u16(0).i16(2).i16(2).i16(0).i16(0).i16(40).i16(40).i16(5).i16(5);
    stretchDib.raw(dib);
    Bytes extText;  // META_EXTTEXTOUT: y, x, length, options, rectangle, text, advances
    extText.i16(60).i16(10).i16(3).u16(0x0004).i16(0).i16(0).i16(90).i16(90).raw("Abc");
    extText.u8(0).i16(8).i16(8).i16(8);
    Bytes font;  // META_CREATEFONTINDIRECT: height ... face
    font.i16(-12).i16(0).i16(0).i16(0).i16(700).u8(1).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0x22);
    font.raw(std::string("Sans\0", 5));
    const std::string wmf = test::WmfBuilder()
                                .brush(red)
                                .select(0)
                                .pen(colorRef(0, 0, 255), 0, 2)
                                .select(1)
                                .rectangle(0, 0, 50, 40)
                                .ellipse(10, 10, 90, 60)
                                .record(0x0324, {3, 0, 0, 50, 0, 25, 40})  // META_POLYGON
                                .record(0x081A, {0, 100, 100, 200, 200, 200, 0, 0})
                                .rawRecord(0x02FB, font.str())
                                .select(2)
                                .rawRecord(0x0A32, extText.str())
                                .rawRecord(0x0142, Bytes().u16(3).u16(0).raw(dib).str())
                                .rawRecord(0x0F43, stretchDib.str())
                                .record(0x0416, {80, 80, 5, 5})  // META_INTERSECTCLIPRECT
                                .bytes(1440, 0, 0, 100, 80);
    seed("metafile", "placeable.wmf", wmf);
    seed("metafile", "window.wmf",
         test::WmfBuilder()
             .windowOrg(-10, -10)
             .windowExt(200, 100)
             .brush(red)
             .select(0)
             .record(0x0521, {5, 'H' | 'e' << 8, 'l' | 'l' << 8, 'o', 20, 10})  // META_TEXTOUT
             .rectangle(0, 0, 100, 50)
             .bytes());
    seed("metafile", "drawn-size.wmf", test::WmfBuilder().rectangle(3, 4, 30, 20).bytes());

    Bytes text;  // EMR_EXTTEXTOUTW: bounds, mode, scales, reference, count, offsets, ...
    text.i32(0).i32(0).i32(0).i32(0).u32(1).u32(0).u32(0);
    text.i32(5).i32(30).u32(2).u32(76).u32(0x0002).i32(0).i32(0).i32(50).i32(40).u32(80);
    text.u16('O').u16('K').i32(9).i32(9);
    Bytes polygon;  // EMR_POLYPOLYGON16: bounds, polygons, points, counts, points
    polygon.i32(0).i32(0).i32(0).i32(0).u32(2).u32(6).u32(3).u32(3);
    for (const int v : {0, 0, 20, 0, 10, 20, 30, 30, 50, 30, 40, 50}) polygon.i16(v);
    Bytes gradient;  // EMR_GRADIENTFILL: bounds, vertices, shapes, mode, vertices, shapes
    gradient.i32(0).i32(0).i32(0).i32(0).u32(2).u32(1).u32(0);
    gradient.i32(0).i32(0).u16(0xFF00).u16(0).u16(0).u16(0);
    gradient.i32(60).i32(40).u16(0).u16(0).u16(0xFF00).u16(0);
    gradient.u32(0).u32(1);
    Bytes clip;  // EMR_EXTSELECTCLIPRGN: size, mode, region header, rectangles
    clip.u32(48).u32(1).u32(32).u32(1).u32(1).u32(16).i32(0).i32(0).i32(64).i32(64);
    clip.i32(2).i32(2).i32(60).i32(60);
    Bytes world;  // EMR_SETWORLDTRANSFORM: a half-size transform
    for (const float f : {0.5f, 0.0f, 0.0f, 0.5f, 4.0f, 4.0f}) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        world.u32(bits);
    }
    Bytes stretch;  // EMR_STRETCHDIBITS: bounds, dest, source, offsets, usage, rop, size
    stretch.i32(0).i32(0).i32(0).i32(0).i32(4).i32(4).i32(0).i32(0).i32(2).i32(2);
    stretch.u32(80).u32(40).u32(120).u32(static_cast<std::uint32_t>(dib.size() - 40));
    stretch.u32(0).u32(0x00CC0020).i32(20).i32(20).raw(dib);
    const std::string emf =
        test::EmfBuilder()
            .pen(1, colorRef(0, 0, 255), 0, 2)
            .brush(2, red)
            .select(1)
            .select(2)
            .rawRecord(75, clip.str())
            .rectangle(5, 5, 60, 40)
            .rawRecord(91, polygon.str())
            .record(59, {})  // a path: begin, a polygon, end, fill
            .rawRecord(86, polygon.str().substr(0, 20) + Bytes().i16(0).i16(0).i16(9).i16(9).str())
            .record(60, {})
            .record(62, {0, 0, 0, 0})
            .rawRecord(35, world.str())
            .record(47, {0, 0, 40, 40, 40, 20, 20, 0})  // EMR_PIE
            .rawRecord(84, text.str())
            .rawRecord(118, gradient.str())
            .rawRecord(81, stretch.str())
            .bytes(64, 48);
    seed("metafile", "shapes.emf", emf);
    seed("metafile", "mapping.emf",
         test::EmfBuilder()
             .record(17, {8})
             .record(9, {2000, 1000})
             .record(11, {200, 100})
             .brush(1, red)
             .select(1)
             .ellipse(0, 0, 1000, 1000)
             .bytes(200, 100));
}

}  // namespace
}  // namespace velluma

int main(int argc, char** argv) {
    using namespace velluma;
    if (argc != 2) {
        std::cerr << "usage: velluma_fuzz_seeds <corpus folder>\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    g_root = argv[1];
    iniSeeds();
    registrySeeds();
    listSeeds();
    bmpSeeds();
    jpegSeeds();
    zipSeeds();
    swfSeeds();
    metafileSeeds();
    languageSeeds(fs::path(VELLUMA_DATA_FOLDER));
    return 0;
}
