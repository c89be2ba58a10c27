#include "ui/SearchAndAddThread.h"

#include <QMetaObject>
#include <QObject>
#include <utility>

#include "ui/PageHost.h"

namespace velluma {

void TSearchAndAddThread::Start(PageHost& host, QObject* receiver, Work work) const {
    if (Kind != ThemePackages && Kind != ListFiles) return;
    // A queued call: the search runs once the drop has been handled, on this thread.
    QMetaObject::invokeMethod(
        receiver,
        [&host, path = Path, kind = Kind, work = std::move(work)] {
            host.guard([&] { work(path, kind); });
        },
        Qt::QueuedConnection);
}

}  // namespace velluma
