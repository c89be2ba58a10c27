#include "ui/TrayToolTip.h"


#include "core/ProgramFolder.h"
#include "ui/Widgets.h"

namespace velluma {

QString trayToolTip(std::uint8_t state, const QString& modeText, const std::string& cadvTheme,
                    const std::string& cImg) {
    QString tip = QStringLiteral("Velluma");
    if (!modeText.isEmpty()) tip += QLatin1Char('\n') + modeText;
    QString current = decodedFileName(fileNamePart(state == 0 ? cadvTheme : cImg));
    if (state == 0 && current.size() > 4 &&
        current.endsWith(QStringLiteral(".tvp"), Qt::CaseInsensitive))
        current.chop(4);
    if (!current.isEmpty()) tip += QLatin1Char('\n') + current;
    return tip;
}

}  // namespace velluma
