// Theme packs for the window's tests, written by our cabtool into a test's scratch folder,
// and packs damaged on purpose.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QtEndian>
#include <cstdint>
#include <utility>
#include <vector>

#include "checksum.h"

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

// Packs the members with cabtool into pack, compressed as cabtool's -z option says;
// answers whether it worked.
inline bool makePack(const QString& pack, const std::vector<Member>& members,
                     const QString& compression = QStringLiteral("lzx:21")) {
    QDir staging(QFileInfo(pack).absolutePath() + "/.staging-" + QFileInfo(pack).fileName());
    staging.mkpath(QStringLiteral("."));
    QStringList args{QStringLiteral("create"), QStringLiteral("-z"), compression,
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

// Bytes that do not compress, the same for the same seed.
inline QByteArray noise(qsizetype size, uint32_t seed) {
    QByteArray bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

// Text that compresses well, so that a compressed data block starts with the codec's own
// structure rather than with stored bytes.
inline QByteArray prose(int lines, int seed) {
    QByteArray text;
    for (int line = 0; line < lines; ++line) {
        text += QStringLiteral("line %1 of picture %2\n").arg(line).arg(seed).toLatin1();
    }
    return text;
}

enum class Checksum { LeftToFail, Recomputed };

// Flips one bit of byte `at` of the data of block `block` of the pack's first folder. With
// Recomputed the block's checksum is made to match the damaged bytes, so that only the codec
// can notice. For packs of one cabinet without reserved areas, as cabtool writes them.
inline bool damageDataBlock(const QString& pack, int block, int at, Checksum checksum) {
    QByteArray bytes = readFile(pack);
    auto* data = reinterpret_cast<uint8_t*>(bytes.data());
    constexpr qsizetype kHeader = 36, kFlags = 30, kFolderBlocks = kHeader + 4;
    constexpr qsizetype kBlockHeader = 8;
    if (bytes.size() < kHeader + 8 || qFromLittleEndian<uint16_t>(data + kFlags) != 0) {
        return false;
    }
    qsizetype offset = qFromLittleEndian<uint32_t>(data + kHeader);
    if (block >= qFromLittleEndian<uint16_t>(data + kFolderBlocks)) return false;
    for (int k = 0; k < block; ++k) {
        offset += kBlockHeader + qFromLittleEndian<uint16_t>(data + offset + 4);
    }
    const uint16_t size = qFromLittleEndian<uint16_t>(data + offset + 4);
    if (at >= size || offset + kBlockHeader + size > bytes.size()) return false;
    data[offset + kBlockHeader + at] ^= 0x20;
    if (checksum == Checksum::Recomputed) {
        qToLittleEndian<uint32_t>(
            cabinet::dataBlockChecksum(data + offset + kBlockHeader, size, data + offset + 4),
            data + offset);
    }
    QFile file(pack);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Ways in which some members of a pack fail while the others come out.
enum class MemberFault {
    DamagedData,            // a flipped bit, the checksum left to notice it
    DamagedCodecStructure,  // a flipped bit in the codec's own structure, checksum recomputed
    FolderInTheWay,         // a folder stands where a member's file must go
};

// One row per fault, in the column "fault", for tests that take every one.
inline void addMemberFaultRows() {
    QTest::addColumn<MemberFault>("fault");
    QTest::newRow("damaged data") << MemberFault::DamagedData;
    QTest::newRow("damaged codec structure, checksum matching")
        << MemberFault::DamagedCodecStructure;
    QTest::newRow("a folder where a member goes") << MemberFault::FolderInTheWay;
}

// The members of a pack made to fail in part (img0.jpg to img2.jpg), and which must fail.
struct FailingPack {
    std::vector<Member> members;
    QStringList failing;  // the members that cannot come out, in pack order
};

// Writes the pack and prepares its fault; the pack's target folder is `target`. Answers
// which members must fail, or nothing when the pack could not be made.
inline FailingPack makeFailingPack(const QString& pack, const QString& target, MemberFault fault) {
    FailingPack made;
    const bool compressible = fault == MemberFault::DamagedCodecStructure;
    for (int i = 0; i < 3; ++i) {
        // 40,000 or 56,390 bytes each: data block 2 (from byte 65,536 on) lies inside img1.
        made.members.push_back({QStringLiteral("img%1.jpg").arg(i),
                                compressible ? prose(2500, i) : noise(40000, 7 + i)});
    }
    if (!makePack(pack, made.members,
                  compressible ? QStringLiteral("mszip") : QStringLiteral("lzx:21"))) {
        return {};
    }
    switch (fault) {
        case MemberFault::DamagedData:
            // Every later member is decoded through the damaged block.
            if (!damageDataBlock(pack, 2, 1000, Checksum::LeftToFail)) return {};
            made.failing = QStringList{"img1.jpg", "img2.jpg"};
            break;
        case MemberFault::DamagedCodecStructure:
            // The first byte of an MSZIP block is its signature.
            if (!damageDataBlock(pack, 2, 0, Checksum::Recomputed)) return {};
            made.failing = QStringList{"img1.jpg", "img2.jpg"};
            break;
        case MemberFault::FolderInTheWay:
            if (!QDir().mkpath(target + "/img1.jpg")) return {};
            made.failing = QStringList{"img1.jpg"};
            break;
    }
    return made;
}

}  // namespace packmaker
