#include "livepage/EmulatorKeeper.h"

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include "livepage/LoopbackServer.h"
#include "livepage/PageProfile.h"

namespace velluma {
namespace {

const char kKeptMarker[] = "velluma:kept";

// Compiled the way the emulator compiles it (streamed from the same address), so the engine
// finds the module the emulator's page compiled and shares it. Then frozen: it has nothing
// to do but hold the module.
const char kKeepingPage[] = R"(<!DOCTYPE html><meta charset="utf-8"><script>
WebAssembly.compileStreaming(fetch("%1")).then(function (module) {
    window.keptModule = module;
    console.info("%2");
}, function () {});
</script>)";

class KeepingPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int,
                                  const QString&) override {
        if (level == InfoMessageLevel && message == QLatin1String(kKeptMarker))
            setLifecycleState(LifecycleState::Frozen);
    }
};

}  // namespace

EmulatorKeeper::EmulatorKeeper(QWebEngineProfile* profile, const QString& origin, QObject* parent)
    : QObject(parent), m_profile(profile), m_origin(origin) {}

EmulatorKeeper::~EmulatorKeeper() {
    delete m_page;  // before the profile it belongs to
}

void EmulatorKeeper::keep(const QString& target) {
    if (target == m_kept || !target.startsWith(LoopbackServer::rufflePrefix()) ||
        !target.endsWith(QLatin1String(".wasm")) || target.contains(QLatin1Char('"')) ||
        target.contains(QLatin1Char('\\')) || target.contains(QLatin1Char('<')))
        return;
    delete m_page;
    m_kept = target;
    m_page = new KeepingPage(m_profile, this);
    PageProfile::quieten(*m_page);
    m_page->setHtml(QString::fromLatin1(kKeepingPage).arg(target, QLatin1String(kKeptMarker)),
                    QUrl(m_origin + LoopbackServer::rufflePrefix()));
}

}  // namespace velluma
