#include "themes/DesktopComponents.h"

#include "platform/Registry.h"

namespace velluma {

bool ActiveDesktopInstalled(Registry& registry) {
    return registry.keyExists(Hive::ClassesRoot, kActiveDesktopClassKey);
}

bool FlashInstalled(Registry& registry) {
    return registry.keyExists(Hive::ClassesRoot, kFlashPlayerClassKey);
}

}  // namespace velluma
