#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velluma {

/// A list file larger than this is refused rather than loaded (about two million lines).
inline constexpr std::size_t kMaxListFileBytes = std::size_t(256) << 20;

/// The path part of a list line: the text before the first "?" (empty without one).
std::string_view LinePicturePath(std::string_view line);
/// The size part of a list line: the text after the first "?" (the whole line without one).
std::string_view LineSizeText(std::string_view line);

/// The lines of a list file's bytes. CR, LF and CR LF each end a line; a final line end
/// makes no empty entry. The views point into text.
std::vector<std::string_view> SplitListLines(std::string_view text);
/// The number of lines SplitListLines would give, without building them.
std::size_t CountListLines(std::string_view text);
/// The bytes of a list file: every line followed by CR LF.
std::string JoinListLines(const std::vector<std::string_view>& lines);

/// Reads a list file's bytes; throws std::runtime_error naming the file and the cause.
std::string ReadListFile(const std::string& path);
/// Replaces a list file with lines, crash-safely: an interrupted or failed write leaves the
/// old file whole. Throws std::runtime_error naming the file and the cause.
void WriteListFile(const std::string& path, const std::vector<std::string_view>& lines);

/// Why a picture path cannot become a list line, or "" when it can: a line end in the path
/// would split it into several entries and a "?" would cut it short on reading.
std::string ListLineProblem(std::string_view picturePath);

}  // namespace velluma
