#pragma once

#include <string>
#include <string_view>

namespace velluma {

/// The folder part of a path: "." for a bare name, "/" for a file in the root.
std::string folderOf(const std::string& path);
/// The name after the last "/"; the whole path when it has none.
std::string_view FileNameOf(std::string_view path);
/// A random decimal number for a name nobody else picks; safe on any thread.
std::string randomSuffix();
/// A free name for a temporary file beside path, hidden, that names the file it stands for:
/// "<folder>/.<name><marker><random>".
std::string tempPathBeside(const std::string& path, std::string_view marker);

}  // namespace velluma
