#pragma once

#include <QObject>
#include <QString>

class QWebEnginePage;
class QWebEngineProfile;

namespace velluma {

/// Keeps the Flash emulator's compiled program alive between pages. The engine shares a
/// WebAssembly module, with every function compiled so far, with any page that loads the
/// same bytes while some page still holds it; with no holder, a Flash page that follows a
/// page without movies compiles the emulator anew, which takes the better part of a second
/// here. A page of ours, frozen and never shown, holds the module the emulator loaded.
class EmulatorKeeper : public QObject {
    Q_OBJECT
public:
    /// origin: our server's ("http://127.0.0.1:<port>"), whose files the keeping page reads.
    EmulatorKeeper(QWebEngineProfile* profile, const QString& origin, QObject* parent = nullptr);
    ~EmulatorKeeper() override;

    /// Holds the module at target (a request path of the emulator's folder, "/ruffle/….wasm")
    /// from now on, in place of the one held so far. Anything else is ignored.
    void keep(const QString& target);

    /// The request path of the module held, empty while there is none.
    QString kept() const { return m_kept; }

private:
    QWebEngineProfile* m_profile;
    QString m_origin;
    QString m_kept;
    QWebEnginePage* m_page = nullptr;
};

}  // namespace velluma
