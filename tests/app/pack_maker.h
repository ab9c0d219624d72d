// Theme packs for the window's tests, written by our cabtool into a test's scratch folder.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace packmaker {

struct Member {
    QString storedName;  // "/" between folders; stored with "\"
    QByteArray content;
};

inline bool writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Packs the members with cabtool (LZX:21) into pack; answers whether it worked.
inline bool makePack(const QString& pack, const std::vector<Member>& members) {
    QDir staging(QFileInfo(pack).absolutePath() + "/.staging-" + QFileInfo(pack).fileName());
    staging.mkpath(QStringLiteral("."));
    QStringList args{QStringLiteral("create"), QStringLiteral("-z"), QStringLiteral("lzx:21"),
                     QFileInfo(pack).absoluteFilePath()};
    for (const Member& member : members) {
        if (!writeFile(staging.filePath(member.storedName), member.content)) return false;
        args << member.storedName;
    }
    QProcess cabtool;
    cabtool.setWorkingDirectory(staging.path());
    cabtool.start(QStringLiteral(PELMORA_BINARY_DIR "/bin/cabtool"), args);
    const bool made = cabtool.waitForFinished(60000) &&
                      cabtool.exitStatus() == QProcess::NormalExit && cabtool.exitCode() == 0;
    staging.removeRecursively();
    return made;
}

// The files under folder, relative to it, sorted.
inline QStringList filesUnder(const QString& folder) {
    QStringList files;
    QDir dir(folder);
    if (!dir.exists()) return files;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        files << info.fileName();
    }
    return files;
}

}  // namespace packmaker
