#include "themes/ThemeDates.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <limits>
#include <optional>
#include <vector>

namespace velluma {
namespace {

// The user's short date format, read once: asking the system for it costs more than the
// parse itself, and it does not change while the program runs.
struct ShortFormat {
    // A field of the format: d, dd, M, MM, MMM (the month's short name), yy or yyyy.
    struct Field {
        char letter;  // 'd', 'M', 'y', or 0 for a literal character
        int width;    // letters in the format; the literal character when letter is 0
    };
    QLocale locale = QLocale::system();
    QString format = locale.dateFormat(QLocale::ShortFormat);
    bool twoDigitYear =
        !format.contains(QStringLiteral("yyyy")) && format.contains(QStringLiteral("yy"));
    std::vector<Field> fields;   // empty when the format has other fields
    std::string monthNames[12];  // short names, for MMM

    ShortFormat() {
        for (qsizetype i = 0; i < format.size();) {
            const QChar c = format[i];
            if (c == u'd' || c == u'M' || c == u'y') {
                qsizetype n = 1;
                while (i + n < format.size() && format[i + n] == c) ++n;
                const bool known = c == u'y' ? (n == 2 || n == 4) : n <= 2 || (c == u'M' && n == 3);
                if (!known) {
                    fields.clear();
                    return;
                }
                fields.push_back({static_cast<char>(c.unicode()), static_cast<int>(n)});
                i += n;
            } else {
                if (c.isLetter() || c == u'\'' || c.unicode() > 0x7f) {
                    fields.clear();
                    return;
                }
                fields.push_back({0, static_cast<int>(c.unicode())});
                ++i;
            }
        }
        for (int m = 0; m < 12; ++m)
            monthNames[m] = locale.monthName(m + 1, QLocale::ShortFormat).toStdString();
    }
    // Reads a text that the format writes; nothing when the text takes another shape.
    std::optional<QDate> quickParse(const std::string& text) const {
        if (fields.empty()) return std::nullopt;
        int day = 0, month = 0, year = 0;
        std::size_t at = 0;
        for (const Field& f : fields) {
            if (f.letter == 0) {
                if (at >= text.size() || text[at] != static_cast<char>(f.width))
                    return std::nullopt;
                ++at;
                continue;
            }
            if (f.letter == 'M' && f.width == 3) {
                std::size_t longest = 0;
                for (int m = 0; m < 12; ++m) {
                    const std::string& name = monthNames[m];
                    if (name.size() > longest && text.compare(at, name.size(), name) == 0) {
                        longest = name.size();
                        month = m + 1;
                    }
                }
                if (longest == 0) return std::nullopt;
                at += longest;
                continue;
            }
            // d and M take one or two digits; dd, MM, yy and yyyy exactly their width.
            const std::size_t least = f.width == 1 ? 1 : static_cast<std::size_t>(f.width);
            const std::size_t most = f.width == 1 ? 2 : static_cast<std::size_t>(f.width);
            std::size_t n = 0;
            int value = 0;
            while (n < most && at + n < text.size() && text[at + n] >= '0' && text[at + n] <= '9')
                value = value * 10 + (text[at + n++] - '0');
            if (n < least) return std::nullopt;
            at += n;
            (f.letter == 'd' ? day : f.letter == 'M' ? month : year) = value;
        }
        if (at != text.size()) return std::nullopt;
        if (twoDigitYear) year += 1900;
        return QDate(year, month, day);
    }
};

const ShortFormat& shortFormat() {
    static const ShortFormat format;
    return format;
}

QDate parseShortDate(const std::string& text) {
    const ShortFormat& f = shortFormat();
    const std::optional<QDate> quick = f.quickParse(text);
    QDate date = quick ? *quick : f.locale.toDate(QString::fromStdString(text), f.format);
    // Qt reads a two-digit year as 19xx; file dates lie after 1970, so the century
    // window is 1970..2069.
    if (date.isValid() && f.twoDigitYear && date.year() < 1970) date = date.addYears(100);
    return date;
}

}  // namespace

std::string ShortDateText(std::int64_t secondsSinceEpoch) {
    const QDate date = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::UTC).date();
    const ShortFormat& f = shortFormat();
    return f.locale.toString(date, f.format).toStdString();
}

std::int64_t DateOrderKey(const std::string& text) {
    const QDate date = parseShortDate(text);
    return date.isValid() ? date.toJulianDay() : std::numeric_limits<std::int64_t>::min();
}

int CompareDates(const std::string& a, const std::string& b) {
    return DateOrderKey(b) > DateOrderKey(a) ? -1 : 1;
}

}  // namespace velluma
