#include <windows.h>

#include "app/single_instance.h"

QString SessionChannelName() {
    // Named pipes are machine-wide: the user and the session number keep ours apart.
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return QStringLiteral("pelmora-%1-%2")
        .arg(qEnvironmentVariable("USERNAME"))
        .arg(static_cast<qulonglong>(session));
}
