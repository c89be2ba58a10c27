#include "platform/posix/EmulatedActiveDesktop.h"

#include "platform/Registry.h"

namespace velluma {

namespace {
bool flag(Registry& registry, const char* name) {
    auto v = registry.value(Hive::CurrentUser, EmulatedActiveDesktop::kGeneralKey, name);
    return v && v->type == RegValue::Type::Dword && v->dword != 0;
}
}  // namespace

ComponentsOptions EmulatedActiveDesktop::desktopItemOptions() {
    return {flag(m_registry, "EnableComponents"), flag(m_registry, "ActiveDesktop")};
}

void EmulatedActiveDesktop::setDesktopItemOptions(const ComponentsOptions& options) {
    m_stagedOptions = options;
}

void EmulatedActiveDesktop::setWallpaper(const std::string& path) {
    m_stagedWallpaper = path;
}

void EmulatedActiveDesktop::applyChanges() {
    std::vector<NamedValue> values;
    if (m_stagedOptions) {
        values.emplace_back("ActiveDesktop", RegValue::number(m_stagedOptions->activeDesktop));
        values.emplace_back("EnableComponents",
                            RegValue::number(m_stagedOptions->enableComponents));
    }
    if (m_stagedWallpaper) {
        values.emplace_back("Wallpaper", RegValue::string(*m_stagedWallpaper));
        values.emplace_back("TileWallpaper", RegValue::string("0"));
    }
    if (!values.empty()) m_registry.setValues(Hive::CurrentUser, kGeneralKey, values);
    m_stagedOptions.reset();
    m_stagedWallpaper.reset();
}

}  // namespace velluma
