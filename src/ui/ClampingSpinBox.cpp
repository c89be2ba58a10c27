#include "ui/ClampingSpinBox.h"

#include <limits>

namespace velluma {

ClampingSpinBox::ClampingSpinBox(QWidget* parent) : QSpinBox(parent) {
    // A number below the range may still grow into it while typing: it is corrected when
    // the box is left.
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QValidator::State ClampingSpinBox::validate(QString& input, int& pos) const {
    const QValidator::State state = QSpinBox::validate(input, pos);
    if (state != QValidator::Invalid) return state;
    QStringView number(input);
    if (number.startsWith(prefix())) number = number.mid(prefix().size());
    if (number.endsWith(suffix())) number.chop(suffix().size());
    number = number.trimmed();
    const bool negative = number.startsWith(QLatin1Char('-'));
    const QStringView digits = negative ? number.mid(1) : number;
    if (digits.isEmpty()) return state;
    for (QChar c : digits)
        if (!c.isDigit()) return state;
    // Further digits only take the number further out: it stands for the nearest end now.
    bool ok = false;
    qlonglong value = number.toLongLong(&ok);
    if (!ok)
        value = negative ? std::numeric_limits<qlonglong>::min()
                         : std::numeric_limits<qlonglong>::max();
    const int clamped = value > maximum() ? maximum() : value < minimum() ? minimum() : int(value);
    const QString shown = textFromValue(clamped);
    input = prefix() + shown + suffix();
    pos = int(prefix().size() + shown.size());
    return QValidator::Acceptable;
}

}  // namespace velluma
