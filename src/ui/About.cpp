#include "ui/About.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "core/Options.h"
#include "language/Language.h"
#include "platform/Platform.h"
#include "ui/Icons.h"
#include "ui/Widgets.h"

namespace velluma {
namespace {

constexpr QColor kGroundTop(22, 122, 164);
constexpr QColor kGroundBottom(16, 89, 120);
constexpr QColor kOkGround(19, 110, 148);
constexpr QColor kOkHover(16, 84, 114);

QString okStyle(const QColor& ground) {
    return QStringLiteral("QLabel { color: white; background: %1; border: 1px solid #0c4a63; }")
        .arg(ground.name());
}

}  // namespace

TfAbout::TfAbout(Platform& platform, const Settings& settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_platform(platform),
      m_settings(settings) {
    setObjectName(QStringLiteral("fAbout"));
    setFixedSize(330, 233);
    setModal(true);

    auto* banner = addLabel("Image1", 0, 0, 330, 64);
    banner->setPixmap(picture("banner"));
    banner->setScaledContents(true);
    auto* logo = addLabel("Image2", 2, 64, 105, 81);
    logo->setPixmap(picture("logo"));
    logo->setCursor(Qt::PointingHandCursor);
    logo->setToolTip(QString::fromLatin1(kMakerWebSite));
    m_line1 = addLabel("LMDLabel1", 112, 64, 289, 19);
    m_line2 = addLabel("LMDLabel2", 112, 80, 281, 19);
    auto* site = addLabel("LMDLabel7", 112, 96, 305, 19);
    site->setText(QString::fromLatin1(kMakerWebSite));
    m_mailHeading = addLabel("LMDLabel8", 113, 112, 281, 19);
    auto* mail = addLabel("LMDLabel6", 113, 128, 305, 19);
    mail->setText(QString::fromLatin1(kSupportMail));
    m_homeHeading = addLabel("LMDLabel4", 8, 168, 281, 19);
    m_homeLink = addLabel("LMDLabel5", 8, 184, 321, 19);
    for (QLabel* link : {site, mail, m_homeLink}) {
        link->setCursor(Qt::PointingHandCursor);
        link->setProperty("link", true);
    }
    m_okButton = addLabel("bOK", 267, 205, 54, 21);
    m_okButton->setText(QStringLiteral("OK"));
    m_okButton->setAlignment(Qt::AlignCenter);
    m_okButton->setStyleSheet(okStyle(kOkGround));
    m_okButton->setCursor(Qt::PointingHandCursor);
    banner->raise();
}

QLabel* TfAbout::addLabel(const char* name, int x, int y, int w, int h) {
    auto* label = new QLabel(this);
    placeControl(label, name, x, y, w, h);
    label->setStyleSheet(QStringLiteral("QLabel { color: white; }"));
    label->setTextFormat(Qt::PlainText);
    label->installEventFilter(this);
    return label;
}

void TfAbout::applyTexts(const TLanguage& language) {
    setWindowTitle(QString::fromStdString(language.text("ABOUT_WINDOW", "s0")));
    m_line1->setText(QString::fromStdString(language.text("ABOUT_WINDOW", "s1")));
    m_line2->setText(QString::fromStdString(language.text("ABOUT_WINDOW", "s2")));
    m_homeHeading->setText(QString::fromStdString(language.text("ABOUT_WINDOW", "s3")));
    m_mailHeading->setText(QString::fromStdString(language.text("ABOUT_WINDOW", "s4")));
    m_homeLink->setText(QString::fromStdString(m_settings.Links[0]));
}

void TfAbout::paintEvent(QPaintEvent*) {
    // The ground below the banner: 50 bands from the top colour to the bottom one.
    QPainter painter(this);
    const QRect ground(0, 64, 330, 169);
    constexpr int kSteps = 50;
    for (int i = 0; i < kSteps; ++i) {
        const int top = ground.top() + ground.height() * i / kSteps;
        const int bottom = ground.top() + ground.height() * (i + 1) / kSteps;
        auto mix = [i](int a, int b) { return a + (b - a) * i / (kSteps - 1); };
        painter.fillRect(QRect(0, top, ground.width(), bottom - top),
                         QColor(mix(kGroundTop.red(), kGroundBottom.red()),
                                mix(kGroundTop.green(), kGroundBottom.green()),
                                mix(kGroundTop.blue(), kGroundBottom.blue())));
    }
}

void TfAbout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfAbout::openLink(const std::string& target) {
    if (onOpenLink)
        onOpenLink(target);
    else
        m_platform.shell->open(target, ShowMode::Normal);
}

bool TfAbout::eventFilter(QObject* watched, QEvent* event) {
    auto* label = qobject_cast<QLabel*>(watched);
    if (!label) return false;
    const bool isLink = label->property("link").toBool();
    switch (event->type()) {
        case QEvent::Enter:
        case QEvent::Leave: {
            const bool over = event->type() == QEvent::Enter;
            if (isLink) {
                QFont f = label->font();
                f.setUnderline(over);
                label->setFont(f);
            } else if (label == m_okButton) {
                m_okButton->setStyleSheet(okStyle(over ? kOkHover : kOkGround));
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            const QString name = label->objectName();
            if (label == m_okButton)
                hide();
            else if (name == QStringLiteral("Image2"))
                openLink(m_settings.Links[4]);
            else if (name == QStringLiteral("LMDLabel7"))
                openLink(kMakerWebSite);
            else if (name == QStringLiteral("LMDLabel6"))
                openLink(std::string("mailto:") + kSupportMail);
            else if (name == QStringLiteral("LMDLabel5"))
                openLink(m_settings.Links[0]);
            break;
        }
        default:
            break;
    }
    return false;
}

TfSplash::TfSplash(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("fSplash"));
    setFixedSize(326, 65);
    setStyleSheet(QStringLiteral("#fSplash { background: #0c3f55; }"));
    auto* banner = new QLabel(this);
    banner->setObjectName(QStringLiteral("Image1"));
    banner->setGeometry(0, 0, 326, 64);
    banner->setPixmap(picture("banner"));
    banner->setScaledContents(true);
}

void TfSplash::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* s = screen()) move(s->geometry().center() - rect().center());
    QTimer::singleShot(kShowMs, this, &QDialog::accept);
}

void TfSplash::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

}  // namespace velluma
