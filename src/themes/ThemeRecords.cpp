#include "themes/ThemeRecords.h"

namespace velluma {

std::string_view QualityName(std::int32_t index) {
    if (index < 0 || index >= static_cast<std::int32_t>(QualityNames.size()))
        return QualityNames[2];
    return QualityNames[static_cast<std::size_t>(index)];
}

}  // namespace velluma
