#include "formats/IniFile.h"

#include <algorithm>
#include <numeric>

#include "formats/RegularFile.h"

namespace velluma {

bool isProfileBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x09 && u <= 0x0d) || u == 0x1a || u == ' ';
}

std::string_view trimProfileBlanks(std::string_view s) {
    while (!s.empty() && isProfileBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isProfileBlank(s.back())) s.remove_suffix(1);
    return s;
}

namespace {

unsigned char lower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

int compareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = lower(a[i]);
        const unsigned char cb = lower(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

IniFile::IniFile(std::string text) : m_text(std::move(text)) {
    if (m_text.size() > kMaxFileSize) m_text.clear();
    buildIndex();
}

IniFile IniFile::load(const std::string& path) {
    std::string text;
    if (!readWholeFile(path, text, kMaxFileSize)) return IniFile();
    return IniFile(std::move(text));
}

void IniFile::buildIndex() {
    m_sections.clear();
    m_keys.clear();
    // Writes may grow the text past the offsets' range; such a text is not searched.
    if (m_text.size() >= kNone) return;

    const std::string_view text = m_text;
    std::vector<Section> sections;  // every header, in file order
    std::vector<Key> keys;          // every key line under a header, in file order
    bool inSection = false;

    // Editors on Linux like to start UTF-8 files with a byte order mark; it is no part of
    // the first line.
    std::size_t pos = text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    while (pos < text.size()) {
        const std::size_t lineStart = pos;
        std::size_t lineEnd = text.find_first_of(kLineBreak, pos);
        if (lineEnd == std::string_view::npos) lineEnd = text.size();
        pos = lineEnd;
        if (pos < text.size()) {
            const bool crlf = text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n';
            pos += crlf ? 2 : 1;
        }
        const bool lastWithoutBreak = pos == lineEnd;

        std::size_t b = lineStart;
        std::size_t e = lineEnd;
        while (b < e && isProfileBlank(text[b])) ++b;
        while (e > b && isProfileBlank(text[e - 1])) --e;
        if (b == e || text[b] == ';') continue;

        const std::string_view line = text.substr(b, e - b);
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close != 0 && close != std::string_view::npos) {
                const auto firstKey = static_cast<std::uint32_t>(keys.size());
                sections.push_back({static_cast<std::uint32_t>(b + 1),
                                    static_cast<std::uint32_t>(b + close), firstKey, firstKey,
                                    static_cast<std::uint32_t>(pos), lastWithoutBreak});
                inSection = true;
                continue;
            }
            // Without a closing bracket the line is an ordinary key line.
        }
        if (!inSection) continue;  // lines before the first header belong to no section

        Key key{};
        key.name = static_cast<std::uint32_t>(b);
        key.lineEnd = static_cast<std::uint32_t>(lineEnd);
        key.valueEnd = static_cast<std::uint32_t>(e);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            key.equals = kNone;
            key.nameEnd = key.value = static_cast<std::uint32_t>(e);
        } else {
            std::size_t nameEnd = b + equals;
            while (nameEnd > b && isProfileBlank(text[nameEnd - 1])) --nameEnd;
            std::size_t value = b + equals + 1;
            while (value < e && isProfileBlank(text[value])) ++value;
            key.equals = static_cast<std::uint32_t>(b + equals);
            key.nameEnd = static_cast<std::uint32_t>(nameEnd);
            key.value = static_cast<std::uint32_t>(value);
        }
        keys.push_back(key);
        Section& current = sections.back();
        current.endKey = static_cast<std::uint32_t>(keys.size());
        current.insertAt = static_cast<std::uint32_t>(pos);
        current.insertNeedsBreak = lastWithoutBreak;
    }

    auto sectionName = [&](const Section& s) { return text.substr(s.name, s.nameEnd - s.name); };
    auto keyName = [&](const Key& k) { return text.substr(k.name, k.nameEnd - k.name); };

    // Sorted by name, the stable sort leaves the first of equal names in front: only that one
    // is ever searched, for sections as for keys.
    std::vector<std::uint32_t> order(sections.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return compareNoCase(sectionName(sections[a]), sectionName(sections[b])) < 0;
    });
    auto keyLess = [&](const Key& a, const Key& b) {
        return compareNoCase(keyName(a), keyName(b)) < 0;
    };
    auto keySame = [&](const Key& a, const Key& b) {
        return compareNoCase(keyName(a), keyName(b)) == 0;
    };
    m_keys.reserve(keys.size());
    for (std::uint32_t index : order) {
        Section s = sections[index];
        if (!m_sections.empty() &&
            compareNoCase(sectionName(m_sections.back()), sectionName(s)) == 0)
            continue;
        auto first = keys.begin() + s.firstKey;
        auto last = keys.begin() + s.endKey;
        std::stable_sort(first, last, keyLess);
        last = std::unique(first, last, keySame);
        s.firstKey = static_cast<std::uint32_t>(m_keys.size());
        m_keys.insert(m_keys.end(), first, last);
        s.endKey = static_cast<std::uint32_t>(m_keys.size());
        m_sections.push_back(s);
    }
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
    const std::string_view text = m_text;
    auto it = std::lower_bound(
        m_sections.begin(), m_sections.end(), name, [&](const Section& s, std::string_view n) {
            return compareNoCase(text.substr(s.name, s.nameEnd - s.name), n) < 0;
        });
    if (it == m_sections.end() ||
        compareNoCase(text.substr(it->name, it->nameEnd - it->name), name) != 0)
        return nullptr;
    return &*it;
}

const IniFile::Key* IniFile::findKey(const Section& section, std::string_view name) const {
    const std::string_view text = m_text;
    auto first = m_keys.begin() + section.firstKey;
    auto last = m_keys.begin() + section.endKey;
    auto it = std::lower_bound(first, last, name, [&](const Key& k, std::string_view n) {
        return compareNoCase(text.substr(k.name, k.nameEnd - k.name), n) < 0;
    });
    if (it == last || compareNoCase(text.substr(it->name, it->nameEnd - it->name), name) != 0)
        return nullptr;
    return &*it;
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    const Section* s = findSection(trimProfileBlanks(section));
    const Key* k = s ? findKey(*s, trimProfileBlanks(key)) : nullptr;
    // A key line without "=" has no value at all, so it reads as missing.
    if (!k || k->equals == kNone) {
        while (!defaultValue.empty() && isProfileBlank(defaultValue.back()))
            defaultValue.remove_suffix(1);
        return std::string(defaultValue.substr(0, kMaxValue));
    }
    std::string_view value = std::string_view(m_text).substr(k->value, k->valueEnd - k->value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, kMaxValue));
}

void IniFile::writeString(std::string_view section, std::string_view key,
                          std::string_view newValue) {
    section = trimProfileBlanks(section);
    key = trimProfileBlanks(key);
    while (!newValue.empty() && isProfileBlank(newValue.front())) newValue.remove_prefix(1);
    const std::string value(newValue);  // the caller's text may be a view into ours

    const Section* s = findSection(section);
    const Key* k = s ? findKey(*s, key) : nullptr;
    if (k && k->equals != kNone) {
        m_text.replace(k->equals + 1, k->lineEnd - k->equals - 1, value);
    } else if (k) {
        m_text.replace(k->nameEnd, k->lineEnd - k->nameEnd, "=" + value);
    } else {
        std::string lines;
        std::size_t at = m_text.size();
        if (s) {
            at = s->insertAt;
            if (s->insertNeedsBreak) lines += kLineBreak;
        } else {
            if (!m_text.empty() && m_text.back() != '\n' && m_text.back() != '\r')
                lines += kLineBreak;
            lines += '[';
            lines += section;
            lines += ']';
            lines += kLineBreak;
        }
        lines += key;
        lines += '=';
        lines += value;
        lines += kLineBreak;
        m_text.insert(at, lines);
    }
    buildIndex();
}

}  // namespace velluma
