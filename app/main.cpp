// Pelmora: pulls the wallpapers out of Windows theme packs dropped on its window, or named
// on its command line (as a file manager's "Open with" does).
#include <QApplication>

#include "app/single_instance.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelmora"));
    QApplication::setApplicationVersion(QStringLiteral(PELMORA_VERSION));
    QApplication::setWindowIcon(ProgramIcon());
    // Lets the desktop match the window to pelmora.desktop (its icon and menu entry).
    QGuiApplication::setDesktopFileName(QStringLiteral("pelmora"));

    const QStringList packs = PacksFromArguments(QApplication::arguments().mid(1));
    const QString channel = SessionChannelName();
    if (!packs.isEmpty() && HandPacksToRunningWindow(channel, packs)) return 0;

    TPackChannel packChannel(channel);
    // Two starts at once: the one that lost the channel hands its packs to the other.
    if (!packChannel.Listen() && !packs.isEmpty() && HandPacksToRunningWindow(channel, packs)) {
        return 0;
    }
    const auto Form1 = StartPelmora();
    QObject::connect(&packChannel, &TPackChannel::packsReceived, Form1.get(),
                     [form = Form1.get()](const QStringList& handed) {
                         form->WMDropFiles(handed);
                         form->activateWindow();
                     });
    if (!packs.isEmpty()) Form1->WMDropFiles(packs);
    return application.exec();
}
