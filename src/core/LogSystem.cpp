#include "core/LogSystem.h"

namespace velluma::logsystem {

void Log(std::string_view) {}

}  // namespace velluma::logsystem
