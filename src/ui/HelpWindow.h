#pragma once

#include <QTextBrowser>
#include <QWidget>
#include <functional>
#include <string>

namespace velluma {

/// A browser for the local user guide: it reads only regular files of a bounded size from
/// the disk and never the network; a web address clicked in it goes to onWebLink.
class GuideBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    explicit GuideBrowser(QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;

    std::function<void(const std::string& address)> onWebLink;

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;
};

/// The user guide in a window of our own, for a desktop where no program opens it.
class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    /// Shows the guide at path and brings the window to the front; false when the file
    /// cannot be read.
    bool showGuide(const std::string& path);

    GuideBrowser* browser() const { return m_browser; }

private:
    GuideBrowser* m_browser = nullptr;
};

}  // namespace velluma
