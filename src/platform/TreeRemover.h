#pragma once

#include <atomic>
#include <string>

namespace velluma {

/// Removes the entry name of the open folder parentFd with everything below it. A link is
/// removed as a link, never followed, and a folder that changes place while it is emptied
/// ends the removal, so nothing outside the entry is ever touched. However deep the tree,
/// only a few dozen descriptors are held. Returns true when the entry is gone (or was never
/// there); false when something stayed (no permission, busy, or stop was set).
bool removeTreeAt(int parentFd, const std::string& name, const std::atomic<bool>* stop = nullptr);

}  // namespace velluma
