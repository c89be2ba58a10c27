#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "core/PendingReports.h"
#include "platform/SessionEnding.h"
#include "platform_gui/posix/QtMessageBoxes.h"
#include "ui/About.h"
#include "ui/TransientWindows.h"
#include "ui/WindowFixture.h"

namespace velluma {
namespace {

// The session ends for one test only.
struct EndedSession {
    EndedSession() { setSessionEnding(true); }
    ~EndedSession() { setSessionEnding(false); }
};

// Should a box stay up, the test fails instead of waiting for ever.
std::unique_ptr<QTimer> closeBoxesLater(int ms) {
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    QObject::connect(timer.get(), &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w)) box->done(QMessageBox::Yes);
    });
    timer->start(ms);
    return timer;
}

TEST(SplashTest, EscDoesNotCloseIt) {
    TfSplash splash;
    splash.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&splash));
    QTest::keyClick(&splash, Qt::Key_Escape);
    EXPECT_TRUE(splash.isVisible());
}

TEST(SessionEndTest, CloseTransientWindowsEndsModalLoopsMenusAndEdits) {
    QListWidget list;
    list.addItem(QStringLiteral("Nature"));
    QListWidgetItem* item = list.item(0);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    list.show();
    list.editItem(item);
    const QPointer<QLineEdit> editor = list.viewport()->findChild<QLineEdit*>();
    ASSERT_FALSE(editor.isNull());
    QTest::keyClicks(editor, QStringLiteral("Renamed"));
    closeTransientWindows();
    EXPECT_TRUE(editor.isNull() || !editor->isVisible());
    EXPECT_EQ(item->text(), QStringLiteral("Nature"));  // the edit is dropped, not committed

    QMenu menu;
    menu.addAction(QStringLiteral("Exit"));
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Velluma"), QStringLiteral("Refused."));
    QTimer::singleShot(0, &box, [&] {
        menu.popup(QPoint(10, 10));
        closeTransientWindows();
    });
    const auto safety = closeBoxesLater(3000);
    box.exec();

    EXPECT_FALSE(box.isVisible());
    EXPECT_FALSE(menu.isVisible());
}

// A box asked for at the session's end, or one up when it comes, answers by itself with the
// choice that changes nothing.
TEST(SessionEndTest, MessageBoxesWaitForNobodyOnceTheSessionEnds) {
    QtMessageBoxes boxes;
    const auto safety = closeBoxesLater(3000);
    {
        const EndedSession ended;
        EXPECT_EQ(boxes.show("Delete?", "Velluma", MessageIcon::Question, MessageButtons::YesNo),
                  MessageAnswer::No);
    }
    QTimer::singleShot(50, qApp, [] {
        setSessionEnding(true);
        closeTransientWindows();
    });
    EXPECT_EQ(boxes.show("Go on?", "Velluma", MessageIcon::Question, MessageButtons::OkCancel),
              MessageAnswer::Cancel);
    setSessionEnding(false);
}

using SessionEndWindowTest = test::WindowFixture;

// The start-up entry cannot be written (its folder is a file). The user's own Exit shows
// the error and still ends; at the session's end nothing is shown, and the next start
// gets the error.
TEST_F(SessionEndWindowTest, AFailingStartupEntryNeverKeepsTheProgramRunning) {
    folder.write("autostart", "not a folder");
    folder.makeFolder("registry");
    for (const bool atSessionEnd : {false, true}) {
        SCOPED_TRACE(atSessionEnd ? "session end" : "Exit");
        int closed = 0;
        window = std::make_unique<TfMain>(*context);
        window->onClosed = [&] { ++closed; };
        window->show();
        boxes().shown.clear();
        if (atSessionEnd) {
            const EndedSession ended;
            window->sessionEnding();
        } else {
            window->close();
        }
        EXPECT_EQ(closed, 1);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(boxes().shown.size(), atSessionEnd ? 0u : 1u);
        const std::vector<std::string> kept = takePendingReports(folder.path());
        ASSERT_EQ(kept.size(), atSessionEnd ? 1u : 0u);
        if (atSessionEnd) {
            EXPECT_NE(kept[0].find("autostart"), std::string::npos) << kept[0];
        }
    }
}

}  // namespace
}  // namespace velluma
