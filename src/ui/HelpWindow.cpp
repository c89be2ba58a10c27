#include "ui/HelpWindow.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTextDocument>
#include <QVBoxLayout>

#include "formats/RegularFile.h"

namespace velluma {
namespace {

// The guide and its pictures are small; anything bigger is not the guide.
constexpr std::size_t kMaxGuideFileSize = std::size_t(8) << 20;

}  // namespace

GuideBrowser::GuideBrowser(QWidget* parent) : QTextBrowser(parent) {
    setObjectName(QStringLiteral("GuideBrowser"));
    setOpenExternalLinks(false);  // web addresses go through onWebLink
}

QVariant GuideBrowser::loadResource(int, const QUrl& name) {
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (!url.isLocalFile()) return {};
    std::string bytes;
    if (!readWholeFile(url.toLocalFile().toStdString(), bytes, kMaxGuideFileSize)) return {};
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

void GuideBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (!url.isLocalFile() && !url.scheme().isEmpty()) {
        if (onWebLink) onWebLink(url.toString().toStdString());
        return;
    }
    QTextBrowser::doSetSource(name, type);
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new GuideBrowser(this);
    layout->addWidget(m_browser);
    resize(820, 620);
}

bool HelpWindow::showGuide(const std::string& path) {
    const QString file = QString::fromStdString(path);
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable()) return false;
    m_browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    if (m_browser->document()->isEmpty()) return false;
    const QString title = m_browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Velluma") : title);
    if (!isVisible()) {
        if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
            move(s->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
    return true;
}

}  // namespace velluma
