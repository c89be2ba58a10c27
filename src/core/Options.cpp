#include "core/Options.h"

#include <unistd.h>

#include <filesystem>
#include <optional>

#include "formats/IniFile.h"
#include "platform/AtomicFile.h"
#include "platform/Registry.h"

namespace velluma {
namespace {

class OptionsReader {
public:
    OptionsReader(Registry& registry) : m_registry(registry) {}

    std::optional<std::uint32_t> dword(const char* name) const {
        auto v = m_registry.value(Hive::LocalMachine, kOptionsKey, name);
        if (!v || v->type != RegValue::Type::Dword) return std::nullopt;
        return v->dword;
    }
    void read(const char* name, std::string& field) const {
        auto v = m_registry.value(Hive::LocalMachine, kOptionsKey, name);
        if (v && v->type == RegValue::Type::String) field = v->text;
    }
    void read(const char* name, std::int32_t& field) const {
        if (auto d = dword(name)) field = static_cast<std::int32_t>(*d);
    }
    void read(const char* name, std::uint8_t& field) const {
        if (auto d = dword(name)) field = static_cast<std::uint8_t>(*d & 0xFFu);
    }
    void read(const char* name, bool& field) const {
        if (auto d = dword(name)) field = *d != 0;
    }
    bool exists(const char* name) const {
        return m_registry.value(Hive::LocalMachine, kOptionsKey, name).has_value();
    }

private:
    Registry& m_registry;
};

std::string listLine(const std::string& programFolder, const std::string& relative,
                     const char* size) {
    return programFolder + relative + "?" + size + "\r\n";
}

// A list of the same name may already hold the user's own edits (for example when the
// registry was lost): it is kept rather than replaced.
void writeFirstRunList(const std::string& path, const std::string& text) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return;
    try {
        writeFileAtomically(path, text);
    } catch (const std::exception&) {
        // A missing imgLists folder only means no sample lists.
    }
}

}  // namespace

std::int32_t PackGroupDisplay(const std::array<std::uint8_t, 6>& groups) {
    std::int32_t packed = 0;
    std::int32_t factor = 1;
    for (std::uint8_t g : groups) {
        packed += static_cast<std::int32_t>(g) * factor;
        factor *= 10;
    }
    return packed;
}

std::array<std::uint8_t, 6> UnpackGroupDisplay(std::int32_t packed) {
    std::array<std::uint8_t, 6> groups{};
    for (auto& g : groups) {
        g = static_cast<std::uint8_t>(packed % 10);  // a negative digit keeps its low 8 bits
        packed /= 10;
    }
    return groups;
}

std::string CorvalixListText(const std::string& programFolder) {
    return listLine(programFolder, "/imgLists/Corvalix/ilwallpap.jpg", "800*600");
}

std::string AbstractListText(const std::string& programFolder) {
    std::string text;
    for (int n = 1; n <= 11; ++n)
        text += listLine(programFolder, "/imgLists/abstract/abs00" + std::to_string(n) + ".jpg",
                         "1024*768");
    return text;
}

Settings ReadSettings(Registry& registry, const std::string& programFolder) {
    return ReadSettings(registry, programFolder, programFolder);
}

Settings ReadSettings(Registry& registry, const std::string& programFolder,
                      const std::string& installFolder) {
    Settings s;
    s.ProgramFolder = programFolder;
    s.InstallFolder = installFolder;
    if (::chdir(programFolder.c_str()) != 0) {
        // Relative paths are never used; the folder only matters for child processes.
    }
    TOptions& o = s.options;
    o.LanguageFileName = installFolder + "/Languages/english.lng";

    const OptionsReader r(registry);
    r.read("LanguageFileName", o.LanguageFileName);
    r.read("cadvTheme", s.cadvTheme);
    r.read("lvadvSortType", o.lvadvSortType);
    r.read("ActivePage", o.ActivePage);
    r.read("state", o.state);
    r.read("lvIListsSortType", o.lvIListsSortType);
    r.read("cIList", s.cIList);
    r.read("cImg", s.cImg);
    r.read("Enabled", o.Enabled);
    r.read("ShowAboutWindow", o.ShowAboutWindow);
    r.read("RunAtStartup", o.RunAtStartup);
    r.read("advChType", o.advChType);
    r.read("advRandOrOrder", o.advRandOrOrder);
    r.read("AdvSec", o.AdvSec);
    r.read("advMin", o.advMin);
    r.read("ilChType", o.ilChType);
    r.read("ilRandOrOrder", o.ilRandOrOrder);
    r.read("ilSec", o.ilSec);
    r.read("ilMin", o.ilMin);
    r.read("ilShowType", o.ilShowType);
    r.read("ilDisplType", o.ilDisplType);
    r.read("LastPos", o.LastPos);
    o.FirstRun = !r.exists("firstrun");

    if (o.FirstRun) {
        writeFirstRunList(programFolder + "/imgLists/corvalix.lst",
                          CorvalixListText(programFolder));
        writeFirstRunList(programFolder + "/imgLists/abstract.lst",
                          AbstractListText(programFolder));
    }

    o.ilgrDispl = 100222;
    r.read("ilgrDispl", o.ilgrDispl);
    o.GroupDisplay = UnpackGroupDisplay(o.ilgrDispl);
    o.GroupDisplayEdit = o.GroupDisplay;

    const IniFile links = IniFile::load(installFolder + "/links.ini");
    for (std::size_t i = 0; i < s.Links.size(); ++i)
        s.Links[i] = links.readString("INTERNET_LINKS", "link" + std::to_string(i));
    return s;
}

void WriteSettings(Registry& registry, const Settings& s) {
    const TOptions& o = s.options;
    auto str = [](const std::string& v) { return RegValue::string(v); };
    auto num = [](std::int64_t v) { return RegValue::number(static_cast<std::uint32_t>(v)); };
    registry.setValues(Hive::LocalMachine, kOptionsKey,
                       {
                           {"LanguageFileName", str(o.LanguageFileName)},
                           {"cadvTheme", str(s.cadvTheme)},
                           {"cIList", str(s.cIList)},
                           {"cImg", str(s.cImg)},
                           {"lvadvSortType", num(o.lvadvSortType)},
                           {"ActivePage", num(o.ActivePage)},
                           {"lvIListsSortType", num(o.lvIListsSortType)},
                           {"Enabled", num(o.Enabled)},
                           {"state", num(o.state)},
                           {"ShowAboutWindow", num(o.ShowAboutWindow)},
                           {"firstrun", num(1)},
                           {"RunAtStartup", num(o.RunAtStartup)},
                           {"advChType", num(o.advChType)},
                           {"advRandOrOrder", num(o.advRandOrOrder)},
                           {"AdvSec", num(o.AdvSec)},
                           {"advMin", num(o.advMin)},
                           {"ilChType", num(o.ilChType)},
                           {"ilRandOrOrder", num(o.ilRandOrOrder)},
                           {"ilSec", num(o.ilSec)},
                           {"ilMin", num(o.ilMin)},
                           {"ilShowType", num(o.ilShowType)},
                           {"LastPos", num(o.LastPos)},
                           {"ilDisplType", num(o.ilDisplType)},
                           {"ilgrDispl", num(PackGroupDisplay(o.GroupDisplay))},
                       });
}

}  // namespace velluma
