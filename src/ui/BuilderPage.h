#pragma once

#include <Qt>
#include <string>

#include "platform/ColourDialog.h"
#include "ui/MainWindowPage.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace velluma {

class MoviePreview;

/// Page 3: the theme builder. A Flash movie, an optional JPEG picture and a background
/// colour become a new theme package; the preview area stands for the desktop and the red
/// frame in it for the movie, sized in percent and placed with the mouse.
class BuilderPage final : public MainWindowPage {
    Q_OBJECT
public:
    BuilderPage(PageHost& host, QWidget* sheet);

    void formCreate() override;
    void applyLanguage() override;
    QString statusText() const override;

    // Handlers, by their established names.
    void foeffileChange();
    void cebgcolorChange();
    void fobgimgChange();
    void RxSpinEdit1Change();
    void cbqualityChange();
    /// A pointer move over the preview area (fromFrame: x, y are relative to the frame).
    void Panel7MouseMove(bool fromFrame, int x, int y, Qt::MouseButtons buttons);
    void bcreateClick();

    /// The colour the page is built with.
    Rgb colour() const { return m_colour; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void browseMovie();
    void browsePicture();
    void chooseColour();
    void setColour(Rgb colour);
    void sizeFrame();
    void keepFrameInside();
    void updateAlign();
    void updateCreateEnabled();
    void refuse(const std::string& message);

    QWidget* m_area = nullptr;
    QLabel* m_lbminihelp = nullptr;
    QLabel* m_lbffile = nullptr;
    QLineEdit* m_foeffile = nullptr;
    QToolButton* m_foeffileButton = nullptr;
    QLabel* m_lbbgcolor = nullptr;
    QLineEdit* m_cebgcolor = nullptr;
    QAction* m_cebgcolorSwatch = nullptr;  // the colour shown at the field's start
    QToolButton* m_cebgcolorButton = nullptr;
    QLabel* m_lbbgimg = nullptr;
    QLineEdit* m_fobgimg = nullptr;
    QToolButton* m_fobgimgButton = nullptr;
    QFrame* m_panel6 = nullptr;
    QLabel* m_image1 = nullptr;
    QFrame* m_panel7 = nullptr;
    MoviePreview* m_flash = nullptr;
    QLabel* m_lbalign = nullptr;
    QLabel* m_lbdescription = nullptr;
    QPlainTextEdit* m_meDescription = nullptr;
    QLabel* m_lbname = nullptr;
    QLineEdit* m_edname = nullptr;
    QLabel* m_lbauthor = nullptr;
    QLineEdit* m_edauthor = nullptr;
    QLabel* m_lbw = nullptr;
    QSpinBox* m_RxSpinEdit1 = nullptr;
    QLabel* m_lbquality = nullptr;
    QComboBox* m_cbquality = nullptr;
    QLabel* m_lbh = nullptr;
    QSpinBox* m_RxSpinEdit2 = nullptr;
    QLabel* m_lbnote = nullptr;
    QPushButton* m_bcreate = nullptr;

    Rgb m_colour;
    int m_lastX = 0;  // the last pointer position seen while dragging the frame
    int m_lastY = 0;
    std::string m_picturePath;  // captured when a theme is created
    bool m_building = false;    // archive work lets other events run meanwhile
};

}  // namespace velluma
