#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velluma::fuzz {

/// The fuzzer's input as bytes.
inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

/// A folder of this process for the files a reader can only take from disk (on tmpfs when
/// there is one); removed at exit.
const std::string& scratchFolder();

/// Replaces the file name in the scratch folder with bytes; returns its path.
std::string writeScratchFile(const std::string& name, std::string_view bytes);

/// Removes everything below folder, never following a link, and keeps folder itself.
void emptyFolder(const std::string& folder);

/// Stops the run with a message when a property of a reader does not hold: libFuzzer keeps
/// the input that broke it.
[[noreturn]] void propertyFailed(const char* what);

}  // namespace velluma::fuzz

/// Checks a property that must hold for every input.
#define FUZZ_CHECK(condition) \
    ((condition) ? void(0) : ::velluma::fuzz::propertyFailed(#condition " at " __FILE__))
