#pragma once

#include <QFile>
#include <string>

namespace velluma {

/// Opens file on path for Qt's readers the way OpenRegularFileNoThrow does: a fifo or
/// device is refused at once instead of holding QFile::open for ever. False, with the
/// cause in whyNot, when it cannot be read.
bool OpenRegularQFile(const std::string& path, QFile& file, std::string& whyNot);

}  // namespace velluma
