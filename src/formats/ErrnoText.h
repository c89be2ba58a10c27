#pragma once

#include <string>

namespace velluma {

/// The C library's text for an errno value; safe on any thread.
std::string errnoText(int err);

}  // namespace velluma
