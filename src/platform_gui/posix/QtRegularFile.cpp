#include "platform_gui/posix/QtRegularFile.h"

#include "formats/RegularFile.h"

namespace velluma {

bool OpenRegularQFile(const std::string& path, QFile& file, std::string& whyNot) {
    RegularFile opened = OpenRegularFileNoThrow(path);
    if (!opened.ok()) {
        whyNot = opened.whyNot();
        return false;
    }
    if (!file.open(opened.handle.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        whyNot = file.errorString().toStdString();
        return false;
    }
    opened.handle.release();  // the QFile's now
    return true;
}

}  // namespace velluma
