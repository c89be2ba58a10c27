#pragma once

#include <string_view>

namespace velluma::logsystem {

/// Takes a trace message and, by design, records nothing: the calls mark the points
/// where a trace would be useful.
void Log(std::string_view message);

}  // namespace velluma::logsystem
