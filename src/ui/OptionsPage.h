#pragma once

#include "ui/MainWindowPage.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace velluma {

class RadioGroup;

/// Page 2: the options on three sheets: the program (tsPrg), the theme rotation (tsAdv)
/// and the slide show (tsSlS).
class OptionsPage final : public MainWindowPage {
    Q_OBJECT
public:
    OptionsPage(PageHost& host, QWidget* sheet);

    void applyLanguage() override;
    /// The hint of the sheet on display.
    QString statusText() const override;

    /// Shows a sheet by index (0 ... 2).
    void showSheet(int index);
    /// plb3: the language's label and the desktop's size.
    void showDesktopSize();
    /// The page's part of the window's settings exchange.
    void SettingsToControls();
    void ControlsToSettings();

    // Events, by their established names.
    void rg1Change();
    void tb1Change();
    void cb2Change();

Q_SIGNALS:
    /// Another sheet is on display.
    void sheetChanged();

private:
    void buildSlideShowSheet(QWidget* area);
    /// The start-up entry follows RunAtStartup.
    void applyStartupShortcut();

    QTabWidget* m_pcOptions = nullptr;
    QLabel* m_lbOp[3] = {};
    QCheckBox* m_cbsAbout = nullptr;
    QCheckBox* m_cbAutoRun = nullptr;
    RadioGroup* m_rg1 = nullptr;
    RadioGroup* m_rg2 = nullptr;
    QGroupBox* m_gbTime = nullptr;
    QSpinBox* m_seMin = nullptr;
    QSpinBox* m_seSec = nullptr;
    QLabel* m_lbmin = nullptr;
    QLabel* m_lbSec = nullptr;
    RadioGroup* m_rg11 = nullptr;
    RadioGroup* m_rg12 = nullptr;
    RadioGroup* m_rg13 = nullptr;
    QGroupBox* m_gb1 = nullptr;
    QSpinBox* m_semin1 = nullptr;
    QSpinBox* m_sesec2 = nullptr;
    QLabel* m_lbmin1 = nullptr;
    QLabel* m_lbsec1 = nullptr;
    QComboBox* m_cb1 = nullptr;
    QComboBox* m_cb2 = nullptr;
    QSlider* m_tb1 = nullptr;
    QLabel* m_plb[3] = {};
};

}  // namespace velluma
