#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/HiveText.h"

namespace velluma {

/// The registry: hives of keys holding named values. Key and value names match without
/// regard to case. Writes are durable when they return; a failed write throws
/// std::runtime_error and leaves the stored hive as it was.
class Registry {
public:
    virtual ~Registry() = default;

    /// True when the key exists (it may hold no values).
    virtual bool keyExists(Hive hive, const std::string& key) = 0;
    /// The value, or nothing when the key or the value is missing.
    virtual std::optional<RegValue> value(Hive hive, const std::string& key,
                                          const std::string& name) = 0;
    /// Creates the key (and its parents) if missing.
    virtual void createKey(Hive hive, const std::string& key) = 0;
    /// Writes all values in one durable step, creating the key if missing.
    virtual void setValues(Hive hive, const std::string& key,
                           const std::vector<NamedValue>& values) = 0;
    /// Removes a value; a missing value is no error.
    virtual void deleteValue(Hive hive, const std::string& key, const std::string& name) = 0;

    void setString(Hive hive, const std::string& key, const std::string& name,
                   const std::string& text);
    void setDword(Hive hive, const std::string& key, const std::string& name, std::uint32_t d);
    /// A string value, or "" when absent (a DWORD reads as its decimal text).
    std::string readString(Hive hive, const std::string& key, const std::string& name);
};

}  // namespace velluma
