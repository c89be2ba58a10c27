#pragma once

#include <string>

#include "platform/Platform.h"

namespace velluma {

/// The services of the system the program runs on; the registry lives in
/// programFolder + "/registry", the page program in installFolder.
Platform makeSystemPlatform(const std::string& programFolder, const std::string& installFolder);

}  // namespace velluma
