#pragma once

#include <QMainWindow>
#include <functional>

#include "language/Language.h"

namespace velluma {

struct Platform;
struct Settings;
class TRAgent;

/// Everything the main window works with, owned by the program for the whole run.
struct AppContext {
    Platform& platform;
    Settings& settings;
    std::vector<TMLang>& languages;
    TRAgent& agent;
};

/// The main window. For now a frame that shows the language's caption; the pages, the
/// tool bar and the tray come next.
class TfMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit TfMain(AppContext& context, QWidget* parent = nullptr);

    TLanguage& language() { return m_language; }

    /// The end of the user's session: put the user's background back, then close.
    void sessionEnding();

    /// Runs when the window has closed; ends the message loop.
    std::function<void()> onClosed;
    /// Puts the recorded desktop back (set by the program).
    std::function<void()> restoreDesktop;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppContext& m_context;
    TLanguage m_language;
};

}  // namespace velluma
