#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velluma {

/// Whether c is a blank to the profile rules: white space, and also CR and Ctrl-Z (a DOS
/// end-of-file mark).
bool isProfileBlank(char c);
/// s without the profile rules' blanks at either end.
std::string_view trimProfileBlanks(std::string_view s);

/// An INI file read and written with the Windows profile rules: names match without regard
/// to case, blanks around names and values are dropped, the first of duplicate sections and
/// keys wins, a value in matching quotes loses them, values are cut to 2047 bytes. Writing
/// replaces a value in place, adds a missing key at the end of its section and a missing
/// section at the end of the file, and keeps every other byte as it was.
class IniFile {
public:
    /// Longest value returned, as with a caller's 2048-byte buffer.
    static constexpr std::size_t kMaxValue = 2047;
    /// Larger files are treated as empty (hostile input).
    static constexpr std::size_t kMaxFileSize = 16u << 20;

    IniFile() = default;
    explicit IniFile(std::string text);

    /// Reads a file; a missing, unreadable or oversized file gives an empty INI.
    static IniFile load(const std::string& path);

    /// The value of key in section, or defaultValue (its trailing blanks dropped).
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue = {}) const;
    /// Sets key in section to value, as WritePrivateProfileString does.
    void writeString(std::string_view section, std::string_view key, std::string_view value);

    /// The whole text, as it would be written (writeFileAtomically saves it).
    const std::string& text() const { return m_text; }

private:
    // Offsets into m_text; a file is parsed once, so a reader that answers hundreds of keys
    // does not rescan the text for each.
    struct Key {
        std::uint32_t name, nameEnd;
        std::uint32_t equals;  // position of the first "=", or kNone
        std::uint32_t value, valueEnd;
        std::uint32_t lineEnd;  // end of the line's text, before its line break
    };
    struct Section {
        std::uint32_t name, nameEnd;
        std::uint32_t firstKey, endKey;  // range of m_keys, sorted by name, first of each name
        std::uint32_t insertAt;          // just after the last key line (or the header line)
        bool insertNeedsBreak;           // that line ends the file without a line break
    };
    static constexpr std::uint32_t kNone = UINT32_MAX;

    void buildIndex();
    const Section* findSection(std::string_view name) const;
    const Key* findKey(const Section& section, std::string_view name) const;

    std::string m_text;
    std::vector<Section> m_sections;  // the first of each name, sorted by name
    std::vector<Key> m_keys;
};

}  // namespace velluma
