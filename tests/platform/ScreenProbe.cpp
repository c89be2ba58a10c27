// Prints the desktop size the Screen service reads, as "<width>x<height>", on whatever
// platform and scale the environment gives it.
#include <QGuiApplication>
#include <cstdio>

#include "platform_gui/posix/QtScreen.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const velluma::ScreenSize size = velluma::QtScreen().virtualDesktopSize();
    std::printf("%dx%d\n", size.width, size.height);
    return 0;
}
