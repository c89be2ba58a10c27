#include "livepage/ScreenSizeScript.h"

namespace velluma {
namespace {

const char kScreenSize[] = R"(
(function () {
    var sizes = {width: %1, availWidth: %1, height: %2, availHeight: %2};
    Object.keys(sizes).forEach(function (key) {
        Object.defineProperty(screen, key, {get: function () { return sizes[key]; }});
    });
})();
)";

}  // namespace

QWebEngineScript screenSizeScript(const QSize& size) {
    QWebEngineScript script;
    script.setSourceCode(QString::fromLatin1(kScreenSize).arg(size.width()).arg(size.height()));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    return script;
}

}  // namespace velluma
