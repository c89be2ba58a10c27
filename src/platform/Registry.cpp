#include "platform/Registry.h"

namespace velluma {

void Registry::setString(Hive hive, const std::string& key, const std::string& name,
                         const std::string& text) {
    setValues(hive, key, {{name, RegValue::string(text)}});
}

void Registry::setDword(Hive hive, const std::string& key, const std::string& name,
                        std::uint32_t d) {
    setValues(hive, key, {{name, RegValue::number(d)}});
}

std::string Registry::readString(Hive hive, const std::string& key, const std::string& name) {
    auto v = value(hive, key, name);
    if (!v) return {};
    if (v->type == RegValue::Type::Dword) return std::to_string(v->dword);
    return v->text;
}

}  // namespace velluma
