// Every shipped language on every page of the window at its fixed size: each text comes from
// the language file and shows whole. With VELLUMA_SCREENSHOTS set to a folder, each page is
// also saved there as a picture of the screen (scripts/screenshots.sh runs this on Xvfb).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QComboBox>
#include <QDir>
#include <QEnterEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <set>

#include "formats/IniFile.h"
#include "imagelists/ListLibrary.h"
#include "support/TestPaths.h"
#include "ui/About.h"
#include "ui/BuilderPage.h"
#include "ui/ImageListPage.h"
#include "ui/WindowFixture.h"

namespace velluma {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> shippedLanguages() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(std::string(VELLUMA_DATA_DIR) + "/Languages"))
        if (entry.path().extension() == ".lng") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

QString describe(const QWidget* w, const QString& text) {
    return w->objectName() + QStringLiteral(" [") +
           QString::fromLatin1(w->metaObject()->className()) + QStringLiteral("]: \"") + text +
           QStringLiteral("\"");
}

// A text that needs more room than its control gives it, described; empty when it fits.
QString labelCut(const QLabel* label) {
    const QString text = label->text();
    if (text.isEmpty() || label->textFormat() == Qt::RichText) return {};
    if (text.endsWith(QChar(0x2026))) return describe(label, text);  // cut by the program
    const QFontMetrics fm = label->fontMetrics();
    const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                      -label->margin(), -label->margin());
    if (label->wordWrap()) {
        const QRect needed = fm.boundingRect(room, Qt::TextWordWrap | label->alignment(), text);
        if (needed.width() <= room.width() && needed.height() <= room.height()) return {};
    } else if (fm.horizontalAdvance(text) + label->indent() <= room.width()) {
        return {};
    }
    return describe(label, text);
}

QString buttonCut(const QAbstractButton* button) {
    const QString text = button->text();
    if (text.isEmpty()) return {};
    if (auto* tool = qobject_cast<const QToolButton*>(button);
        tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
        return {};
    // The style's own measure: indicator or icon, spacing, text and margins.
    return button->sizeHint().width() <= button->width() ? QString() : describe(button, text);
}

QString groupCut(const QGroupBox* group) {
    const QString title = group->title();
    if (title.isEmpty()) return {};
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = title;
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect label = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxLabel, group);
    return label.right() < group->width() ? QString() : describe(group, title);
}

QStringList comboCuts(const QComboBox* combo) {
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    const int room =
        combo->style()
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
            .width();
    QStringList cuts;
    for (int i = 0; i < combo->count(); ++i)  // any item may be the one chosen
        if (combo->fontMetrics().horizontalAdvance(combo->itemText(i)) > room)
            cuts << describe(combo, combo->itemText(i));
    return cuts;
}

QStringList tabCuts(const QTabBar* bar) {
    QStringList cuts;
    for (int i = 0; i < bar->count(); ++i) {
        const QRect tab = bar->tabRect(i);
        if (tab.right() >= bar->width() ||
            bar->fontMetrics().horizontalAdvance(bar->tabText(i)) > tab.width())
            cuts << describe(bar, bar->tabText(i));
    }
    return cuts;
}

QStringList headerCuts(const QHeaderView* header) {
    QStringList cuts;
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int i = 0; i < header->count(); ++i) {
        if (header->isSectionHidden(i)) continue;
        const QString text =
            header->model()->headerData(i, header->orientation(), Qt::DisplayRole).toString();
        if (header->fontMetrics().horizontalAdvance(text) + 2 * margin > header->sectionSize(i))
            cuts << describe(header, text);
    }
    return cuts;
}

// Every text control under root that is on display and does not show its whole text.
QStringList cutTexts(const QWidget* root) {
    QStringList cuts;
    for (const QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        QString cut;
        if (auto* label = qobject_cast<const QLabel*>(w))
            cut = labelCut(label);
        else if (auto* button = qobject_cast<const QAbstractButton*>(w))
            cut = buttonCut(button);
        else if (auto* group = qobject_cast<const QGroupBox*>(w))
            cut = groupCut(group);
        else if (auto* combo = qobject_cast<const QComboBox*>(w))
            cuts << comboCuts(combo);
        else if (auto* bar = qobject_cast<const QTabBar*>(w))
            cuts << tabCuts(bar);
        else if (auto* header = qobject_cast<const QHeaderView*>(w))
            cuts << headerCuts(header);
        if (!cut.isEmpty()) cuts << cut;
    }
    return cuts;
}

// Every text on display under root, for comparing with the language file.
QStringList shownTexts(const QWidget* root) {
    QStringList texts;
    for (const QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        if (auto* label = qobject_cast<const QLabel*>(w)) texts << label->text();
        if (auto* button = qobject_cast<const QAbstractButton*>(w)) texts << button->text();
        if (auto* group = qobject_cast<const QGroupBox*>(w)) texts << group->title();
        if (auto* combo = qobject_cast<const QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
        if (auto* bar = qobject_cast<const QTabBar*>(w))
            for (int i = 0; i < bar->count(); ++i) texts << bar->tabText(i);
    }
    return texts;
}

class ShippedLanguageTest : public test::WindowFixture,
                            public ::testing::WithParamInterface<std::string> {
protected:
    ShippedLanguageTest() {
        const fs::path shipped = fs::path(VELLUMA_DATA_DIR) / "Languages";
        fs::remove_all(folder.file("Languages"));
        fs::copy(shipped, folder.file("Languages"), fs::copy_options::recursive);
        languages.clear();
        FindLanguages(folder.file("Languages"), folder.path(), languages);
        writeList("a.lst", "");
        // Started in another language, so every text must follow the switch.
        settings.options.LanguageFileName = folder.file(
            GetParam() == "english" ? "Languages/deutsch.lng" : "Languages/english.lng");
        window = std::make_unique<TfMain>(*context);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // A message in the status line must not keep the old language's mode beside it.
        window->statusLine().showStatusMessage(QStringLiteral("a message"));
        switchLanguage();
    }

    void writeList(const std::string& name, const std::string& text) {
        folder.write("imgLists/" + name, text);
    }
    std::string languageFile(const std::string& name) const {
        return folder.file("Languages/" + name + ".lng");
    }
    // The language's own text of a key.
    QString file(const char* section, const char* key) const {
        return QString::fromStdString(
            IniFile::load(languageFile(GetParam())).readString(section, key));
    }
    void switchLanguage() {
        const std::string name =
            IniFile::load(languageFile(GetParam())).readString("LANGUAGE_NAME", "name");
        auto* menu = window->findChild<QMenu*>(QStringLiteral("MainMenu2"));
        ASSERT_NE(menu, nullptr);
        for (QAction* item : menu->actions()) {
            if (item->text().replace(QStringLiteral("&&"), QStringLiteral("&")) ==
                QString::fromStdString(name)) {
                item->trigger();
                ASSERT_EQ(settings.options.LanguageFileName, languageFile(GetParam()));
                return;
            }
        }
        FAIL() << "no menu item for " << name;
    }

    // Each page, and each sheet of the options page, shown in turn.
    template <typename Visit>
    void forEachPage(Visit visit) {
        auto* options = child<QTabWidget>("PCOptions");
        for (int page = 0; page < 5; ++page) {
            window->showPage(page);
            const int sheets = page == 2 ? options->count() : 1;
            for (int sheet = 0; sheet < sheets; ++sheet) {
                if (page == 2) options->setCurrentIndex(sheet);
                QCoreApplication::processEvents();
                const QString name = page == 2 ? QStringLiteral("page2-%1").arg(sheet)
                                               : QStringLiteral("page%1").arg(page);
                SCOPED_TRACE(name.toStdString());
                saveScreenshot(window.get(), name);
                visit();
            }
        }
    }

    void saveScreenshot(QWidget* shown, const QString& name) {
        const QString dir = qEnvironmentVariable("VELLUMA_SCREENSHOTS");
        if (dir.isEmpty()) return;
        QTest::qWait(300);  // the window manager's frame and the first paint
        QDir().mkpath(dir);
        const QPixmap shot = shown->screen()->grabWindow(
            0, shown->frameGeometry().x(), shown->frameGeometry().y(),
            shown->frameGeometry().width(), shown->frameGeometry().height());
        EXPECT_TRUE(shot.save(
            dir + QStringLiteral("/%1-%2.png").arg(QString::fromStdString(GetParam()), name)));
    }

    // Status panel 0 while the mouse rests on each control that has a hint.
    QStringList cutHints() {
        QStringList cuts;
        auto* panel = child<QLabel>("StatusPanel0");
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->isVisible() || (w->property("hint").toString().isEmpty() &&
                                    !w->property("selectorButton").toBool()))
                continue;
            QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
            QCoreApplication::sendEvent(w, &enter);
            if (const QString cut = labelCut(panel); !cut.isEmpty())
                cuts << w->objectName() + QStringLiteral(" -> ") + cut;
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(w, &leave);
        }
        return cuts;
    }
};

TEST_P(ShippedLanguageTest, EveryTextComesFromTheLanguageFile) {
    auto* plb3 = child<QLabel>("plb3");
    EXPECT_TRUE(plb3->text().startsWith(file("PAGE_OPTIONS", "tsIllb2") + QStringLiteral(": ")))
        << plb3->text().toStdString();

    window->builderPage();
    auto* quality = child<QComboBox>("cbquality");
    ASSERT_NE(quality, nullptr);
    ASSERT_EQ(quality->count(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(quality->itemText(i).toStdString(),
                  file("PAGE_EDITOR", ("cbitem" + std::to_string(i)).c_str()).toStdString());

    TfAbout* about = window->aboutWindow();
    EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("LMDLabel4"))->text().toStdString(),
              file("ABOUT_WINDOW", "s3").toStdString());
    EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("LMDLabel8"))->text().toStdString(),
              file("ABOUT_WINDOW", "s4").toStdString());

    // The pictures panel's messages: no list chosen, and a picture refused.
    window->showPage(1);
    auto* lists = window->listPage()->lvILists();
    lists->clearSelection();
    child<QToolButton>("pilbIFAdd")->click();
    EXPECT_EQ(panel(0).toStdString(), file("PAGE_IMAGE_LISTS", "msg0").toStdString());
    window->listPage()->listLibrary().selectRow(0);
    const std::string broken = folder.write("pics/broken.jpg", "not a JPEG");
    test::NextAnswerFileDialogs& dialogs =
        static_cast<test::NextAnswerFileDialogs&>(*platform.fileDialogs);
    dialogs.nextAnswers.push_back({broken});
    child<QToolButton>("pilbIFAdd")->click();
    EXPECT_EQ(panel(0).toStdString(),
              (file("PAGE_IMAGE_LISTS", "msg2") + QStringLiteral(": broken.jpg (") +
               file("PAGE_IMAGE_LISTS", "msg6") + QStringLiteral(")"))
                  .toStdString());

    // Nothing on any page is a text of English that this language does not share.
    if (GetParam() == "english") return;
    const IniFile english = IniFile::load(languageFile("english"));
    const IniFile own = IniFile::load(languageFile(GetParam()));
    std::set<QString> englishOnly;
    for (const TextKey& k : languageTextKeys()) {
        const std::string text = english.readString(k.section, k.key);
        if (text != own.readString(k.section, k.key))
            englishOnly.insert(QString::fromStdString(text));
    }
    forEachPage([&] {
        QStringList shown = shownTexts(window.get());
        shown << panel(0) << panel(1);
        for (const QString& text : shown) {
            const QString bare = text.section(QStringLiteral(": "), 0, 0).trimmed();
            EXPECT_FALSE(englishOnly.count(text.trimmed()) || englishOnly.count(bare))
                << text.toStdString();
        }
    });
}

TEST_P(ShippedLanguageTest, NoTextIsCutAtTheWindowsSize) {
    forEachPage([&] {
        const QStringList cuts = cutTexts(window.get()) + cutHints();
        EXPECT_TRUE(cuts.isEmpty()) << cuts.join(QLatin1Char('\n')).toStdString();
    });
    // Both modes in status panel 1, and the messages of panel 0 that name no file.
    const struct {
        const char* panel;
        const char* section;
        const char* key;
    } messages[] = {{"StatusPanel1", "STATUS_BAR", "msg8"},
                    {"StatusPanel1", "STATUS_BAR", "msg9"},
                    {"StatusPanel0", "STATUS_BAR", "unconfined"},
                    {"StatusPanel0", "PAGE_IMAGE_LISTS", "msg0"},
                    {"StatusPanel0", "PAGE_IMAGE_LISTS", "msg1"}};
    for (const auto& m : messages) {
        auto* panel = child<QLabel>(m.panel);
        panel->setText(file(m.section, m.key));
        EXPECT_EQ(labelCut(panel).toStdString(), "") << m.key;
    }

    TfAbout* about = window->aboutWindow();
    about->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(about));
    saveScreenshot(about, QStringLiteral("about"));
    const QStringList cuts = cutTexts(about);
    EXPECT_TRUE(cuts.isEmpty()) << cuts.join(QLatin1Char('\n')).toStdString();
    about->hide();
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedLanguageTest, ::testing::ValuesIn(shippedLanguages()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

}  // namespace
}  // namespace velluma
