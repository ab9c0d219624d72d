// Pelmora: pulls the wallpapers out of Windows theme packs dropped on its window.
#include <QApplication>

#include "app/startup.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelmora"));
    QApplication::setApplicationVersion(QStringLiteral(PELMORA_VERSION));
    QApplication::setWindowIcon(ProgramIcon());
    // Lets the desktop match the window to pelmora.desktop (its icon and menu entry).
    QGuiApplication::setDesktopFileName(QStringLiteral("pelmora"));

    const auto Form1 = StartPelmora();
    return application.exec();
}
