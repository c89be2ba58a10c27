#include "language/Language.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QImageReader>
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <set>

#include "core/ProgramFolder.h"
#include "formats/ByteReader.h"
#include "formats/IniFile.h"
#include "formats/RegularFile.h"

namespace velluma {
namespace {

// Each section with its keys, blank-separated, in the order a language file lists them.
struct SectionKeys {
    std::string_view section;
    std::string_view keys;
};

constexpr SectionKeys kTable[] = {
    {"LANGUAGE_NAME", "name"},
    {"COUNTRY_FLAG", "filename"},
    {"MAINFORM_CAPTION", "caption"},
    {"HELPFILE", "filename"},
    {"MAINMENU",
     "a0name a1name a2name a3name a00name a01name a02name a10name a11name a12name a30name "
     "a31name a32name"},
    {"TRYICON_POPUPMENU", "m0 m1 m2"},
    {"TOOL_BAR", "b0hint b1hint b2hint b0pm0 b0pm1 b0pm00 b0pm01"},
    {"BUTTONS_CAPTIONS", "bc0 bc1 bc2"},
    {"BUTTONLIST_CAPTIONS",
     "button0 button1 button2 button3 button4 hint0 hint1 hint2 hint3 hint4"},
    {"STATUS_BAR", "msg0 msg1 msg2 msg3 msg4 msg5 msg8 msg9"},
    {"PAGES_ARTICLES", "p0 p1 p2 p3 p4 p5 p6"},
    {"PAGE_QUILLORY",
     "lvcolumn0 lvcolumn1 lvcolumn2 barbtn0 barbtn1 barbtn2 barbtn3 barbtn4 barbtn5 barbtn6 "
     "barbtn7 bRemovePM0 bRemovePM1 filter0 filter1 filter2 filter3"},
    {"PAGE_IMAGE_LISTS",
     "lvilistscolumn0 lvilistscolumn1 lvilistscolumn2 lvilfilescolumn0 lvilfilescolumn1 "
     "prewievPanel barbtn0 barbtn1 barbtn2 barbtn3 barbtn4 barbtn6 barbtn7 barbtn8 barbtn9 "
     "barbtn10 barbtn11 barbtn12 barbtn13 bRemovePM0 bRemovePM1"},
    {"WALLPAPERS_ACTIONS", "wa0 wa1 wa2 wa3 wa4"},
    {"STYLES", "s0 s1 s2 s3 s4"},
    {"PAGE_REPORT", "r0 r1 r2 r3 r4 r6"},
    {"PAGE_OPTIONS",
     "caption0 caption1 caption2 hint0 hint1 hint2 lb0 lb1 lb2 tsPrgcb0 tsPrgcb1 tsAdvgbTime "
     "tsAdvrg0 tsAdvrg1 tsAdvrgitem0 tsAdvrgitem1 tsAdvrgitem2 tsAdvrgitem3 tsAdvrgitem4 "
     "tsAdvlb0 tsAdvlb1 tsILrg11 tsILrg13 tsILrg13item0 tsILrg13item1 cbitem0 cbitem1 cbitem2 "
     "tsIllb0 tsIllb1 tsIllb2"},
    {"ABOUT_WINDOW", "s0 s1 s2"},
    {"PAGE_EDITOR",
     "caption0 caption1 caption2 caption3 caption4 caption5 caption6 caption7 caption8 "
     "caption9 caption10 caption11 caption12"},
    {"MESSAGES", ""},  // every key of it came later: see kAddedTexts
};

// Texts added after the first language files were written. A language file made before
// them lacks these keys; it still gets a readable (English) text instead of an empty one.
constexpr TextKey kAddedTexts[] = {
    {"STATUS_BAR", "unconfined", "The live desktop plays unconfined on this machine"},
    {"PAGE_IMAGE_LISTS", "msg0", "Select one image list to add pictures to."},
    {"PAGE_IMAGE_LISTS", "msg1", "That picture was no longer in the list file."},
    {"PAGE_IMAGE_LISTS", "msg2", "Not added"},
    {"PAGE_IMAGE_LISTS", "msg3", "Adding stopped at"},
    {"PAGE_IMAGE_LISTS", "msg4", "its name contains \"?\" or a line break"},
    {"PAGE_IMAGE_LISTS", "msg5", "the file cannot be opened"},
    {"PAGE_IMAGE_LISTS", "msg6", "not a readable BMP or JPEG picture"},
    {"PAGE_EDITOR", "cbitem0", "Low"},
    {"PAGE_EDITOR", "cbitem1", "Auto low"},
    {"PAGE_EDITOR", "cbitem2", "Auto high"},
    {"PAGE_EDITOR", "cbitem3", "Medium"},
    {"PAGE_EDITOR", "cbitem4", "High"},
    {"PAGE_EDITOR", "cbitem5", "Best"},
    {"PAGE_EDITOR", "preview0", "Not a readable Flash movie"},
    {"PAGE_EDITOR", "preview1", "%1 \u00d7 %2 px"},
    {"PAGE_EDITOR", "preview2", "%1 fps \u00b7 %2 frames"},
    {"PAGE_EDITOR", "preview3", "Flash %1, LZMA-packed: size unknown"},
    {"PAGE_EDITOR", "preview4", "Flash version %1"},
    {"PAGE_EDITOR", "preview5", "Stage: %1 \u00d7 %2 pixels"},
    {"PAGE_EDITOR", "preview6", "%1 frames at %2 per second"},
    {"PAGE_EDITOR", "preview7", "Background %1"},
    {"PAGE_EDITOR", "preview8", "No background colour of its own"},
    {"PAGE_EDITOR", "preview9", "Packed with LZMA: the stage is not read"},
    {"PAGE_EDITOR", "preview10", "Quality: %1"},
    {"ABOUT_WINDOW", "s3", "Home page:"},
    {"ABOUT_WINDOW", "s4", "E-Mail"},
    {"MESSAGES", "nolink", "No program on this computer opens this address:"},
};

// Flags are small; anything bigger is not worth decoding.
constexpr std::size_t kMaxIconFileSize = std::size_t(4) << 20;

std::vector<TextKey> buildKeyList() {
    std::vector<TextKey> list;
    for (const SectionKeys& entry : kTable) {
        std::string_view rest = entry.keys;
        while (!rest.empty()) {
            const std::size_t blank = rest.find(' ');
            const std::string_view key = rest.substr(0, blank);
            const bool help = entry.section == "HELPFILE" && key == "filename";
            list.push_back({entry.section, key, help ? "nofile" : ""});
            rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
        }
        for (const TextKey& added : kAddedTexts)
            if (added.section == entry.section) list.push_back(added);
    }
    return list;
}

// Names in a language file match without regard to case, so the table does too.
std::string textId(std::string_view section, std::string_view key) {
    std::string id;
    id.reserve(section.size() + 1 + key.size());
    for (char c : section) id.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
    id.push_back('/');
    for (char c : key) id.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
    return id;
}

// Keys asked for that are not in the table: no language file can give them a text.
struct UnknownKeys {
    std::mutex mutex;
    std::vector<std::string> asked;
};

UnknownKeys& unknownKeys() {
    static UnknownKeys keys;
    return keys;
}

bool isTableKey(std::string_view section, std::string_view key) {
    static const std::set<std::string, std::less<>> ids = [] {
        std::set<std::string, std::less<>> all;
        for (const TextKey& k : languageTextKeys()) all.insert(textId(k.section, k.key));
        return all;
    }();
    return ids.count(textId(section, key)) != 0;
}

void noteUnknownKey(std::string_view section, std::string_view key) {
    std::string name = std::string(section) + "/" + std::string(key);
    UnknownKeys& keys = unknownKeys();
    const std::lock_guard lock(keys.mutex);
    if (std::find(keys.asked.begin(), keys.asked.end(), name) != keys.asked.end()) return;
    std::fprintf(stderr, "Velluma: no language file has a text %s\n", name.c_str());
    keys.asked.push_back(std::move(name));
}

// Loads a Windows icon file; any other kind of picture, even a readable one, is refused, as
// the flag of a language must be an icon.
QImage readIcon(const std::string& path) {
    std::string bytes;
    if (!readWholeFile(path, bytes, kMaxIconFileSize)) return {};
    // Icon directory: reserved 0, type 1 (2 would be a cursor), at least one image.
    const ByteReader icon(bytes);
    if (bytes.size() < 6 || icon.u16(0) != 0 || icon.u16(2) != 1 || icon.u16(4) == 0) return {};

    QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, QByteArrayLiteral("ico"));
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    QImage image;
    if (!reader.read(&image)) return {};
    return image;
}

}  // namespace

const std::vector<TextKey>& languageTextKeys() {
    static const std::vector<TextKey> keys = buildKeyList();
    return keys;
}

LanguageHeader ReadLanguageHeader(const std::string& filePath, const std::string& programFolder) {
    const IniFile ini = IniFile::load(filePath);
    LanguageHeader header;
    header.name = ini.readString("LANGUAGE_NAME", "name");
    const std::string flag = ini.readString("COUNTRY_FLAG", "filename");
    if (!flag.empty()) header.flag = readIcon(programPath(programFolder, flag));
    if (header.flag.isNull()) header.flag = readIcon(programFolder + "/Languages/flags/flag.ico");
    return header;
}

void FindLanguages(const std::string& folder, const std::string& programFolder,
                   std::vector<TMLang>& list) {
    // The folder listing's own order differs from machine to machine.
    const QDir dir(QString::fromUtf8(folder));
    const QStringList files =
        dir.entryList({QStringLiteral("*.lng")}, QDir::Files | QDir::Hidden | QDir::System,
                      QDir::Name | QDir::IgnoreCase);
    for (const QString& file : files) {
        const std::string path = folder + "/" + file.toUtf8().toStdString();
        LanguageHeader header = ReadLanguageHeader(path, programFolder);
        if (header.name.empty()) continue;
        list.push_back({path, std::move(header.name), std::move(header.flag)});
    }
}

void TLanguage::Load(const std::string& filePath) {
    m_texts.clear();
    const IniFile ini = IniFile::load(filePath);
    for (const TextKey& k : languageTextKeys())
        m_texts.insert_or_assign(textId(k.section, k.key),
                                 ini.readString(k.section, k.key, k.fallback));
}

const std::string& TLanguage::text(std::string_view section, std::string_view key) const {
    static const std::string empty;
    auto it = m_texts.find(textId(section, key));
    if (it != m_texts.end()) return it->second;
    if (!isTableKey(section, key)) noteUnknownKey(section, key);
    return empty;
}

std::vector<std::string> TLanguage::unknownKeysAsked() {
    UnknownKeys& keys = unknownKeys();
    const std::lock_guard lock(keys.mutex);
    return keys.asked;
}

}  // namespace velluma
