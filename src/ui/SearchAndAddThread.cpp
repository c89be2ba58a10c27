#include "ui/SearchAndAddThread.h"

#include <QMetaObject>
#include <QObject>
#include <utility>

#include "ui/MainWindow.h"

namespace velluma {

void TSearchAndAddThread::Start(TfMain& window, QObject* receiver, Work work) const {
    if (Kind != ThemePackages && Kind != ListFiles) return;
    // A queued call: the search runs once the drop has been handled, on this thread.
    QMetaObject::invokeMethod(
        receiver,
        [&window, path = Path, kind = Kind, work = std::move(work)] {
            window.guard([&] { work(path, kind); });
        },
        Qt::QueuedConnection);
}

}  // namespace velluma
