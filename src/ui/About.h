#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;

namespace velluma {

struct Platform;
struct Settings;
class TLanguage;

/// The maker's addresses shown in the About window.
inline constexpr const char* kMakerWebSite = "https://velluma.example/";
inline constexpr const char* kSupportMail = "support@velluma.example";

/// The About window: banner, logo, the two descriptive lines and the links. Closing it
/// only hides it.
class TfAbout final : public QDialog {
    Q_OBJECT
public:
    TfAbout(Platform& platform, const Settings& settings, QWidget* parent = nullptr);

    /// Caption, the two lines and the home-page link, from the current language.
    void applyTexts(const TLanguage& language);

    /// Opens the links; without it they go straight to the shell.
    std::function<void(const std::string& address)> onOpenLink;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addLabel(const char* name, int x, int y, int w, int h);
    void openLink(const std::string& target);

    Platform& m_platform;
    const Settings& m_settings;
    QLabel* m_line1;
    QLabel* m_line2;
    QLabel* m_homeLink;
    QLabel* m_mailHeading;
    QLabel* m_homeHeading;
    QLabel* m_okButton;
};

/// The splash window: the banner for three seconds, above everything, centred.
class TfSplash final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kShowMs = 3000;
    explicit TfSplash(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    /// The banner has no keys: Esc leaves it up like any other key.
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace velluma
