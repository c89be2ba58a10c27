#pragma once

#include <cstdint>
#include <string>

namespace velluma {

/// The calendar date (UTC, no conversion to local time) of a time in seconds since 1970,
/// in the user's short date format.
std::string ShortDateText(std::int64_t secondsSinceEpoch);

/// A number that orders dates in the user's short date format as CompareDates does: a later
/// date has a larger key; a text that is not a date has the smallest key of all. For sorting
/// many rows, where parsing each text once beats parsing it at every comparison.
std::int64_t DateOrderKey(const std::string& text);

/// Compares two dates in the user's short date format: -1 when b is a later date than a,
/// +1 otherwise (equal dates too). A text that is not a date counts as earlier than any
/// date.
int CompareDates(const std::string& a, const std::string& b);

}  // namespace velluma
