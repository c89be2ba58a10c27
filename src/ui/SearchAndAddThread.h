#pragma once

#include <functional>
#include <string>

class QObject;

namespace velluma {

class PageHost;

/// The folder search a dropped folder starts. Its work is handed to the GUI thread and runs
/// there after the drop handler has returned, one search after another in the order they
/// were started, under the window's error report; no data is ever touched by two threads.
class TSearchAndAddThread final {
public:
    /// What a search looks for.
    enum Kinds { ThemePackages = 0, Pictures = 1, ListFiles = 2 };
    /// The search itself, given Path and Kind.
    using Work = std::function<void(const std::string& path, int kind)>;

    std::string Path;
    int Kind = ThemePackages;

    /// Queues the work. It is dropped when receiver goes away first; a picture search (and
    /// any unknown kind) searches nothing.
    void Start(PageHost& host, QObject* receiver, Work work) const;
};

}  // namespace velluma
