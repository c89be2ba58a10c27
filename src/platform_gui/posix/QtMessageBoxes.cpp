#include "platform_gui/posix/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "platform/SessionEnding.h"

namespace velluma {
namespace {

// What a box answers when nobody can: the choice that changes nothing.
MessageAnswer unansweredChoice(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::OkCancel:
            return MessageAnswer::Cancel;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Ok;
    }
}

}  // namespace

MessageAnswer QtMessageBoxes::show(const std::string& text, const std::string& caption,
                                   MessageIcon icon, MessageButtons buttons) {
    // The end of the session waits for nobody.
    if (sessionEnding()) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return unansweredChoice(buttons);
    }
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (icon) {
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
    }
    const int chosen = box.exec();
    if (sessionEnding()) return unansweredChoice(buttons);  // closed by the session's end
    switch (chosen) {
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Ok;
    }
}

}  // namespace velluma
