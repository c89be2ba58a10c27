#include "themes/ThemeDates.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace velluma {
namespace {

QDate parseShortDate(const std::string& text) {
    const QLocale locale = QLocale::system();
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QDate date = locale.toDate(QString::fromStdString(text), format);
    // Qt reads a two-digit year as 19xx; file dates lie after 1970, so the century
    // window is 1970..2069.
    if (date.isValid() && !format.contains(QStringLiteral("yyyy")) &&
        format.contains(QStringLiteral("yy")) && date.year() < 1970)
        date = date.addYears(100);
    return date;
}

}  // namespace

std::string ShortDateText(std::int64_t secondsSinceEpoch) {
    const QDate date = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::UTC).date();
    return QLocale::system().toString(date, QLocale::ShortFormat).toStdString();
}

int CompareDates(const std::string& a, const std::string& b) {
    return parseShortDate(b) > parseShortDate(a) ? -1 : 1;
}

}  // namespace velluma
