#include "platform_gui/posix/QtFileDialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>

#include "platform/SessionEnding.h"

namespace velluma {

std::vector<std::string> QtFileDialogs::getOpenFileNames(const std::string& title,
                                                         const std::string& filter,
                                                         const std::string& folder) {
    if (sessionEnding()) return {};
    const QStringList chosen = QFileDialog::getOpenFileNames(
        QApplication::activeWindow(), QString::fromStdString(title),
        QFile::decodeName(folder.c_str()), QString::fromStdString(filter));
    std::vector<std::string> files;
    if (sessionEnding()) return files;  // closed by the session's end, not chosen
    files.reserve(static_cast<std::size_t>(chosen.size()));
    // File names are bytes on Linux: hand them on as the file system spells them.
    for (const QString& file : chosen) files.push_back(QFile::encodeName(file).toStdString());
    return files;
}

}  // namespace velluma
