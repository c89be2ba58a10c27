#include "formats/ErrnoText.h"

#include <cstring>

namespace velluma {

std::string errnoText(int err) {
    char buffer[256];
    // The GNU strerror_r returns its text, in the buffer or a static string.
    return ::strerror_r(err, buffer, sizeof buffer);
}

}  // namespace velluma
