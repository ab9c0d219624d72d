#include <QDir>
#include <QStandardPaths>

#include "app/single_instance.h"

QString SessionChannelName() {
    // The user's runtime folder is private to the user and lives as long as the session.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) return QStringLiteral("pelmora-%1").arg(qEnvironmentVariable("USER"));
    return QDir(runtime).filePath(QStringLiteral("pelmora.socket"));
}
