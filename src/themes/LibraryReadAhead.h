#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "themes/ThemeList.h"

namespace velluma {

struct ThemeContext;

/// The library's packages, read while the window is being built: the first scan is most of
/// the start-up, and it only reads files unless it has packages to import or convert. A
/// worker thread starts at once; the window's thread joins in when it comes to the rows.
class LibraryReadAhead final {
public:
    /// Starts reading the library folder of themes.
    explicit LibraryReadAhead(ThemeContext& themes);
    ~LibraryReadAhead();
    LibraryReadAhead(const LibraryReadAhead&) = delete;
    LibraryReadAhead& operator=(const LibraryReadAhead&) = delete;

    /// The rows, read to the end on this thread and the worker, with processEvents (when set)
    /// after each package this thread reads, as the scan does; nullopt when the scan has more
    /// to do than read.
    std::optional<std::vector<ThemeRow>> take(const std::function<void()>& processEvents);

private:
    struct Reading;
    std::unique_ptr<Reading> m_reading;
    std::thread m_worker;
};

}  // namespace velluma
