#include "ui/ReportPage.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "formats/IniFile.h"
#include "platform/FileTools.h"
#include "themes/ThemeConfig.h"
#include "themes/ThemeContext.h"
#include "themes/ThemeFiles.h"
#include "themes/ZipArchive.h"
#include "ui/PageHost.h"
#include "ui/Widgets.h"

namespace velluma {
namespace {

constexpr int kLibraryPage = 0;
constexpr int kReportPage = 4;

}  // namespace

ReportPage::ReportPage(PageHost& host, QWidget* sheet)
    : MainWindowPage(host, sheet),
      m_RMemo(new QPlainTextEdit(sheet)),
      m_prepBBack(new QToolButton(sheet)) {
    m_RMemo->setObjectName(QStringLiteral("RMemo"));
    m_RMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout()->addWidget(m_RMemo, 1);

    auto* bar = new QWidget(sheet);
    bar->setObjectName(QStringLiteral("prepToolBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 2, 4, 2);
    m_prepBBack->setObjectName(QStringLiteral("prepBBack"));
    m_prepBBack->setIcon(sheet->style()->standardIcon(QStyle::SP_ArrowBack));
    m_prepBBack->setIconSize(QSize(24, 24));
    m_prepBBack->setFixedSize(34, 34);
    m_prepBBack->setAutoRaise(true);
    m_prepBBack->setFocusPolicy(Qt::NoFocus);
    m_prepBBack->setProperty("Tag", kLibraryPage);
    row->addWidget(m_prepBBack);
    row->addStretch(1);
    layout()->addWidget(bar);

    m_host.watchHover(m_prepBBack);
    connect(m_prepBBack, &QToolButton::clicked, this,
            [this] { m_host.guard([this] { prepBBackClick(); }); });
}

void ReportPage::applyLanguage() {
    const QString hint = m_host.text("PAGE_REPORT", "r6");
    m_prepBBack->setProperty("hint", hint);
    m_prepBBack->setToolTip(hint);
}

QString ReportPage::statusText() const {
    return m_host.text("PAGES_ARTICLES", "p4") + QStringLiteral(":..") +
           QString::fromStdString(m_reportThemeName);
}

QString ReportPage::reportText(const std::string& descriptor,
                               const std::string& packagePath) const {
    const IniFile ini(descriptor);
    const int style = ReadIniInteger(ini, "Style", "index", 0);
    // Styles 0 to 4 have names; any other index is shown as its number.
    const QString styleText = style >= 0 && style <= 4
                                  ? m_host.text("STYLES", ("s" + std::to_string(style)).c_str())
                                  : QString::number(style);
    const QString values[5] = {
        QString::fromStdString(ini.readString("Name", "ThemeName", "No name")),
        QString::fromStdString(ini.readString("Author", "ThemeAuthor", "Unknown")),
        styleText,
        QString::fromStdString(ini.readString("Description", "Description", "None")),
        QStringLiteral("../advThemes/") + decodedFileName(std::string(FileNameOf(packagePath))),
    };
    QString report;
    for (int i = 0; i < 5; ++i) {
        const std::string key = "r" + std::to_string(i);
        report += m_host.text("PAGE_REPORT", key.c_str()) + QStringLiteral(":  ") + values[i] +
                  QStringLiteral("\n\n");
    }
    return report;
}

void ReportPage::makeReport(const std::string& caption, const std::string& packagePath) {
    m_reportThemeName = caption;
    // The descriptor is read straight from the package into memory: no temporary file.
    std::string descriptor;
    try {
        const ZipReader archive = ZipReader::openFile(packagePath);
        if (const ThemeContext& themes = m_host.themes(); themes.processEvents)
            themes.processEvents();
        if (const auto entry = archive.findFile(std::string(kThemeConfigName)))
            descriptor = archive.read(*entry, IniFile::kMaxFileSize);
    } catch (const ZipError& e) {
        throw std::runtime_error("The report of \"" + caption + "\" cannot be made. " + e.what());
    }
    if (descriptor.empty()) return;
    m_RMemo->setPlainText(reportText(descriptor, packagePath));
    m_prepBBack->setProperty("Tag", kLibraryPage);
    m_host.showPage(kReportPage);
    m_host.clearHintMark();
}

void ReportPage::prepBBackClick() {
    m_host.UpdateStatusBar();
    m_host.showPage(m_prepBBack->property("Tag").toInt());
    m_host.clearHintMark();
}

}  // namespace velluma
