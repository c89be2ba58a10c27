#pragma once

#include <string>

#include "ui/MainWindowPage.h"

class QPlainTextEdit;
class QToolButton;

namespace velluma {

/// Page 4, the theme report — what a package's theme.cfg says about the theme,
/// in RMemo, with the back button prepBBack.
class ReportPage final : public MainWindowPage {
    Q_OBJECT
public:
    ReportPage(PageHost& host, QWidget* sheet);

    void applyLanguage() override;
    /// PAGES_ARTICLES/p4 + ":.." + the report theme name.
    QString statusText() const override;

    /// padvbReportClick for one row: shows the report of the package at packagePath, whose
    /// row caption is caption. A package without a theme.cfg (or an empty one) shows
    /// nothing; one that cannot be read throws one error naming it. No file is written.
    void makeReport(const std::string& caption, const std::string& packagePath);
    /// The report's text for a descriptor.
    QString reportText(const std::string& descriptor, const std::string& packagePath) const;
    void prepBBackClick();

    const std::string& reportThemeName() const { return m_reportThemeName; }
    QPlainTextEdit* RMemo() const { return m_RMemo; }
    QToolButton* prepBBack() const { return m_prepBBack; }

private:
    QPlainTextEdit* m_RMemo;
    QToolButton* m_prepBBack;
    std::string m_reportThemeName;
};

}  // namespace velluma
