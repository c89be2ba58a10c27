#include "formats/IniFile.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/AtomicFile.h"
#include "support/TempFolder.h"

using velluma::IniFile;
using velluma::writeFileAtomically;
using velluma::test::readFile;
using velluma::test::TempFolder;

namespace {

struct ReadCase {
    const char* what;
    std::string text;
    const char* section;
    const char* key;
    const char* defaultValue;
    std::string expected;
};

TEST(IniFileRead, FollowsTheProfileRules) {
    const ReadCase cases[] = {
        {"plain", "[A]\r\nk=v\r\n", "A", "k", "d", "v"},
        {"names ignore case", "[Sec]\nKey=v\n", "sEC", "kEY", "d", "v"},
        {"caller's names trimmed", "[Sec]\nKey=v\n", " Sec\t", "  Key ", "d", "v"},
        {"CR alone ends a line", "[A]\rk=1\rj=2", "A", "j", "d", "2"},
        {"mixed line ends", "[A]\nk=1\r\n[B]\rk=2\n", "B", "k", "d", "2"},
        {"blanks, CR and Ctrl-Z trimmed", "[A]\r\n \x1Ak \t= \x1Av w\x1A \r\r\n", "A", "k", "d",
         "v w"},
        {"header name runs to the last ]", "[a]b]\nk=v\n", "a]b", "k", "d", "v"},
        {"text after the last ] ignored", "[a] note\nk=v\n", "a", "k", "d", "v"},
        {"split at the first =", "[A]\nk = a=b\n", "A", "k", "d", "a=b"},
        {"blanks inside a name kept", "[A]\nmy key = v\n", "A", "my key", "d", "v"},
        {"empty value is not missing", "[A]\nk=\n", "A", "k", "d", ""},
        {"; line is a comment", "[A]\n ;k=1\nk=2\n", "A", "k", "d", "2"},
        {"# line is not a comment", "[A]\n#k=1\n", "A", "#k", "d", "1"},
        {"first duplicate section wins", "[A]\nk=1\n[a]\nk=2\nj=3\n", "A", "k", "d", "1"},
        {"later duplicate section unseen", "[A]\nk=1\n[a]\nk=2\nj=3\n", "A", "j", "d", "d"},
        {"first duplicate key wins", "[A]\nk=1\nK=2\n", "A", "k", "d", "1"},
        {"double quotes stripped", "[A]\nk=\" v \"\n", "A", "k", "d", " v "},
        {"single quotes stripped", "[A]\nk='v'\n", "A", "k", "d", "v"},
        {"unmatched quotes kept", "[A]\nk=\"v'\n", "A", "k", "d", "\"v'"},
        {"lone quote kept", "[A]\nk=\"\n", "A", "k", "d", "\""},
        {"inner quotes kept", "[A]\nk=a\"b\"\n", "A", "k", "d", "a\"b\""},
        {"missing key: default", "[A]\nk=1\n", "A", "x", "d", "d"},
        {"missing section: default", "[A]\nk=1\n", "B", "k", "d", "d"},
        {"default loses trailing blanks", "", "A", "k", "  d e \t\x1A", "  d e"},
        {"line without = has no value", "[A]\nk\n", "A", "k", "d", "d"},
        {"keys before any header unseen", "k=1\n[A]\n", "A", "k", "d", "d"},
        {"[ without ] is a key line", "[A]\n[B\nk=1\n", "A", "k", "d", "1"},
        {"byte order mark skipped", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "d", "v"},
        {"8-bit text untouched",
         "[A]\nk=Gr\xC3\xBC\xC3\x9F"
         "e\n",
         "A", "k", "d",
         "Gr\xC3\xBC\xC3\x9F"
         "e"},
    };
    for (const ReadCase& c : cases) {
        EXPECT_EQ(IniFile(c.text).readString(c.section, c.key, c.defaultValue), c.expected)
            << c.what;
    }
}

TEST(IniFileRead, CutsValuesToTheCallersBuffer) {
    const std::string longValue(3000, 'x');
    const std::string cut(IniFile::kMaxValue, 'x');
    IniFile ini("[A]\r\nplain=" + longValue + "\r\nquoted=\"" + longValue + "\"\r\n");
    EXPECT_EQ(ini.readString("A", "plain"), cut);
    EXPECT_EQ(ini.readString("A", "quoted"), cut);
    EXPECT_EQ(ini.readString("A", "missing", longValue), cut);
}

TEST(IniFileRead, SurvivesHostileSizes) {
    TempFolder temp;
    // One huge line followed by an ordinary section.
    IniFile longLine(std::string(4u << 20, 'x') + "=y\n[" + std::string(100000, 's') +
                     "]\n[A]\nk=v\n");
    EXPECT_EQ(longLine.readString("A", "k"), "v");

    std::string big = "[A]\nk=v\n";
    big.resize(IniFile::kMaxFileSize + 1, ' ');
    const std::string path = temp.write("big.ini", big);
    EXPECT_EQ(IniFile::load(path).readString("A", "k", "d"), "d");
    EXPECT_EQ(IniFile::load(path).text(), "");
    EXPECT_EQ(IniFile::load(temp.file("missing.ini")).readString("A", "k", "d"), "d");
}

TEST(IniFileRead, AnswersManyKeysOfABigFile) {
    std::string text;
    for (int s = 0; s < 50; ++s) {
        text += "[S" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 2000; ++k)
            text += "key" + std::to_string(k) + "=" + std::to_string(s * 10000 + k) + "\r\n";
    }
    const IniFile ini(text);
    for (int s = 0; s < 50; ++s)
        for (int k = 0; k < 2000; k += 7)
            ASSERT_EQ(ini.readString("s" + std::to_string(s), "KEY" + std::to_string(k)),
                      std::to_string(s * 10000 + k));
}

struct WriteCase {
    const char* what;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(IniFileWrite, ChangesOnlyWhatItMust) {
    const WriteCase cases[] = {
        {"replace in place", "; head\r\n[A]\r\n  k = old ; x \x1A\r\nj=2\n\n[B]\rk=3", "a", " K ",
         " \tnew", "; head\r\n[A]\r\n  k =new\r\nj=2\n\n[B]\rk=3"},
        {"replace in the first duplicate", "[A]\r\nk=1\r\n[A]\r\nk=2\r\n", "A", "k", "9",
         "[A]\r\nk=9\r\n[A]\r\nk=2\r\n"},
        {"line without = gets one", "[A]\r\nk\r\nj=1\r\n", "A", "k", "v", "[A]\r\nk=v\r\nj=1\r\n"},
        {"append after the last key line", "[A]\r\nk=1\r\n\r\n; about B\r\n[B]\r\nx=1\r\n", "A",
         "j", "2", "[A]\r\nk=1\r\nj=2\r\n\r\n; about B\r\n[B]\r\nx=1\r\n"},
        {"append among LF lines", "[A]\nk=1\n[B]\n", "A", "j", "2", "[A]\nk=1\nj=2\r\n[B]\n"},
        {"append after a CR line", "[A]\rk=1\r[B]\r", "A", "j", "2", "[A]\rk=1\rj=2\r\n[B]\r"},
        {"append under a bare header", "[A]\n\n[B]\n", "A", "j", "2", "[A]\nj=2\r\n\n[B]\n"},
        {"append at an unbroken end", "[A]\r\nk=1", "A", "j", "2", "[A]\r\nk=1\r\nj=2\r\n"},
        {"new section", "[A]\r\nk=1\r\n", " B ", "j", "2", "[A]\r\nk=1\r\n[B]\r\nj=2\r\n"},
        {"new section, unbroken end", "[A]\r\nk=1", "B", "j", "2", "[A]\r\nk=1\r\n[B]\r\nj=2\r\n"},
        {"new section in an empty file", "", "B", "j", "2", "[B]\r\nj=2\r\n"},
    };
    for (const WriteCase& c : cases) {
        IniFile ini(c.before);
        ini.writeString(c.section, c.key, c.value);
        EXPECT_EQ(ini.text(), c.after) << c.what;
    }
}

TEST(IniFileWrite, LaterReadsAndWritesSeeEarlierWrites) {
    IniFile ini("[Name]\r\nThemeName=Dune\r\n[Files]\r\nFlashMovie=dune.swf");
    ini.writeString("Style", "index", "0");
    ini.writeString("Files", "startup", "\\tivora.htm");
    ini.writeString("Files", "startup", "\\index.htm");
    EXPECT_EQ(ini.text(),
              "[Name]\r\nThemeName=Dune\r\n[Files]\r\nFlashMovie=dune.swf\r\n"
              "startup=\\index.htm\r\n[Style]\r\nindex=0\r\n");
    EXPECT_EQ(ini.readString("files", "STARTUP"), "\\index.htm");
    EXPECT_EQ(ini.readString("Style", "index"), "0");
    EXPECT_EQ(ini.readString("Name", "ThemeName"), "Dune");
}

TEST(IniFileWrite, SavesTheTextAsIs) {
    TempFolder temp;
    IniFile ini = IniFile::load(temp.write("theme.cfg", "[A]\nk=1\n"));
    ini.writeString("A", "k", "2");
    writeFileAtomically(temp.file("theme.cfg"), ini.text());
    EXPECT_EQ(readFile(temp.file("theme.cfg")), "[A]\nk=2\n");
    EXPECT_THROW(writeFileAtomically(temp.file("no/such/folder/theme.cfg"), ini.text()),
                 std::runtime_error);
}

}  // namespace
