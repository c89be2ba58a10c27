#pragma once

#include <QLockFile>
#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;

namespace velluma {

/// One running copy per program folder. The first copy holds a lock and listens; a later
/// copy asks it to show its window and then ends.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const std::string& programFolder);
    ~SingleInstance() override;

    /// True when this is the only copy (it now holds the lock and listens). False when
    /// another copy runs; that copy has been asked to show itself.
    bool claim();

    /// Called in the first copy when a later one starts.
    std::function<void()> onShowRequested;

private:
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

}  // namespace velluma
