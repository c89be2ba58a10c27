#pragma once

#include <QImage>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velluma {

/// One installed language file.
struct TMLang {
    std::string Path;  // full path of the .lng file
    std::string Name;  // LANGUAGE_NAME/name
    QImage Flag;       // the flag icon, or the default flag; null when neither loads
};

/// The display name and flag of a language file. The flag is programFolder +
/// COUNTRY_FLAG/filename, falling back to programFolder + "/Languages/flags/flag.ico".
struct LanguageHeader {
    std::string name;
    QImage flag;
};
LanguageHeader ReadLanguageHeader(const std::string& filePath, const std::string& programFolder);

/// Appends one TMLang per *.lng file of folder whose name is not empty, in the order of
/// the file names (letter case aside), the same on every machine.
void FindLanguages(const std::string& folder, const std::string& programFolder,
                   std::vector<TMLang>& list);

/// A key of the language file: section and key name, and the text a file without the key
/// gives.
struct TextKey {
    std::string_view section;
    std::string_view key;
    std::string_view fallback = {};
};

/// Every key the program reads from a language file, in file order.
const std::vector<TextKey>& languageTextKeys();

/// The interface texts of one language file.
class TLanguage {
public:
    TLanguage() = default;
    explicit TLanguage(const std::string& filePath) { Load(filePath); }

    /// Reads every text from the file; a missing file or key gives the key's fallback: empty
    /// for most, "nofile" for the help file, English for the texts added since the first
    /// language files (so an older file still reads). No text of an earlier load survives.
    void Load(const std::string& filePath);

    /// The text of a key; empty for a missing or unknown key. A key that is not among
    /// languageTextKeys() is a fault of the program: it is noted (and said on standard error).
    const std::string& text(std::string_view section, std::string_view key) const;

    /// The keys outside languageTextKeys() asked for so far in this process, as
    /// "SECTION/key"; the tests of the windows hold it empty.
    static std::vector<std::string> unknownKeysAsked();

    const std::string& Name() const { return text("LANGUAGE_NAME", "name"); }
    const std::string& Caption() const { return text("MAINFORM_CAPTION", "caption"); }
    const std::string& HelpFile() const { return text("HELPFILE", "filename"); }

private:
    std::map<std::string, std::string, std::less<>> m_texts;  // "section/key", lower case -> text
};

}  // namespace velluma
