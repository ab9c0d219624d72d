// The Spotlight harvest over a cache made by the test with Qt's own encoders: pictures of
// several widths, files on both sides of the size floor and a file that is not a picture.
#include "app/spotlight_harvest.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <mutex>

namespace {

// A cache entry: a name without extension, as the cache stores them, and its bytes.
struct CacheFile {
    QString name;
    QByteArray bytes;
};

// An image `width` pixels wide, padded after its end to exactly `size` bytes (readers stop
// at the image's end, so the padding only sets the file size).
QByteArray paddedImage(int width, int height, const char* format, qsizetype size) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(30, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    if (bytes.size() > size) qFatal("the image does not fit in %lld bytes", qlonglong(size));
    bytes.append(size - bytes.size(), '\0');
    return bytes;
}

QList<CacheFile> makeCache(const QString& folder) {
    const QList<CacheFile> files{
        {"landscape", paddedImage(1920, 20, "JPG", 150'000)},
        {"portrait", paddedImage(1080, 40, "PNG", 120'000)},
        {"ultrawide", paddedImage(3840, 10, "PNG", 200'000)},
        {"laptop", paddedImage(1366, 20, "JPG", 130'000)},
        {"justbelowfloor", paddedImage(1920, 20, "PNG", 102'399)},
        {"atthefloor", paddedImage(1080, 20, "PNG", 102'400)},
        {"notapicture", QByteArray(150'000, 'x')},
        {"icon", paddedImage(1920, 2, "PNG", 4'000)},
    };
    QDir().mkpath(folder);
    for (const auto& file : files) {
        QFile out(folder + "/" + file.name);
        out.open(QIODevice::WriteOnly);
        out.write(file.bytes);
    }
    return files;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

std::u16string u16(const QString& text) {
    return text.toStdU16String();
}

// Folders of one cache and a result folder under scratch.
TSpotlightFolders foldersIn(const QTemporaryDir& scratch, const QString& cache,
                            const QString& result) {
    return {{u16(scratch.filePath(cache))}, u16(scratch.filePath(result))};
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QStringList entries(const std::u16string& folder) {
    return entries(q(folder));
}

}  // namespace

class SpotlightHarvestTest : public QObject {
    Q_OBJECT

private slots:
    void sortsTheCacheByWidthAndCleansUp();
    void replacesAnEarlierCopyOfTheSameName();
    void missingCacheLeavesEmptyFoldersAndStillShowsThem();
    void foldersFollowTheUserProfile_data();
    void foldersFollowTheUserProfile();
};

void SpotlightHarvestTest::sortsTheCacheByWidthAndCleansUp() {
    QTemporaryDir scratch;
    const TSpotlightFolders folders = foldersIn(scratch, "Assets", "Spotlight");
    const QString source = q(folders.Sources[0]);
    const QList<CacheFile> cache = makeCache(source);
    std::vector<std::u16string> opened;
    const TFolderOpener opener = [&](const std::u16string& folder) {
        opened.push_back(folder);
        return true;
    };

    // A second harvest finds the same pictures again and leaves one copy of each.
    for (int run = 1; run <= 2; ++run) {
        const std::vector<TSpotlightCacheCount> counts = DoSpotlight(folders, opener);
        QCOMPARE(counts.size(), size_t(1));
        QCOMPARE(counts[0].Copied, size_t(6));
        QCOMPARE(counts[0].Landscape, size_t(1));
        QCOMPARE(counts[0].Portrait, size_t(2));
        QCOMPARE(entries(folders.Result), QStringList({"Horizontal", "Vertical"}));
        QCOMPARE(entries(folders.Landscape()), QStringList({"landscape.jpg"}));
        QCOMPARE(entries(folders.Portrait()), QStringList({"atthefloor.jpg", "portrait.jpg"}));
        QCOMPARE(contents(q(folders.Landscape()) + "/landscape.jpg"), cache[0].bytes);
        QCOMPARE(contents(q(folders.Portrait()) + "/portrait.jpg"), cache[1].bytes);
        QCOMPARE(contents(q(folders.Portrait()) + "/atthefloor.jpg"), cache[5].bytes);
        QCOMPARE(opened.size(), size_t(run));
        QCOMPARE(QString::fromStdU16String(opened.back()),
                 QDir::toNativeSeparators(q(folders.Result)));
    }
    // The cache itself is only read.
    QCOMPARE(entries(source).size(), cache.size());
    for (const auto& file : cache) QCOMPARE(contents(source + "/" + file.name), file.bytes);
}

void SpotlightHarvestTest::replacesAnEarlierCopyOfTheSameName() {
    QTemporaryDir scratch;
    const TSpotlightFolders folders = foldersIn(scratch, "Assets", "Spotlight");
    const QString source = q(folders.Sources[0]);
    const QList<CacheFile> cache = makeCache(source);
    QDir().mkpath(q(folders.Landscape()));
    QFile stale(q(folders.Landscape()) + "/landscape.jpg");
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("an older picture");
    stale.close();
    QFile kept(q(folders.Landscape()) + "/from-an-earlier-harvest.jpg");
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.write("kept");
    kept.close();

    DoSpotlight(folders, nullptr);
    QCOMPARE(contents(q(folders.Landscape()) + "/landscape.jpg"), cache[0].bytes);
    QCOMPARE(contents(q(folders.Landscape()) + "/from-an-earlier-harvest.jpg"), QByteArray("kept"));
}

void SpotlightHarvestTest::missingCacheLeavesEmptyFoldersAndStillShowsThem() {
    QTemporaryDir scratch;
    const TSpotlightFolders folders = foldersIn(scratch, "no-such-cache", "Pictures/Spotlight");
    int opened = 0;
    DoSpotlight(folders, [&](const std::u16string&) { return ++opened, true; });
    QCOMPARE(entries(folders.Result), QStringList({"Horizontal", "Vertical"}));
    QVERIFY(entries(folders.Landscape()).isEmpty());
    QCOMPARE(opened, 1);
}

void SpotlightHarvestTest::foldersFollowTheUserProfile_data() {
    QTest::addColumn<QByteArray>("userProfile");
    QTest::addColumn<QString>("result");
    QTest::newRow("profile set") << QByteArray("/profiles/ana")
                                 << "/profiles/ana/Pictures/Spotlight";
    QTest::newRow("profile unset: home") << QByteArray() << "/home/tester/Pictures/Spotlight";
}

void SpotlightHarvestTest::foldersFollowTheUserProfile() {
    QFETCH(QByteArray, userProfile);
    QFETCH(QString, result);
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", "/home/tester");
    qputenv("LOCALAPPDATA", "/profiles/ana/AppData/Local");
    if (userProfile.isEmpty()) {
        qunsetenv("USERPROFILE");
    } else {
        qputenv("USERPROFILE", userProfile);
    }
    const TSpotlightFolders folders = UserSpotlightFolders();
    qputenv("HOME", oldHome);
    qunsetenv("USERPROFILE");
    qunsetenv("LOCALAPPDATA");
    QCOMPARE(q(folders.Result), result);
    QCOMPARE(q(folders.Staging()), result + "/CopyAssets");
    QCOMPARE(q(folders.Landscape()), result + "/Horizontal");
    QCOMPARE(q(folders.Portrait()), result + "/Vertical");
    QCOMPARE(folders.Sources.size(), size_t(1));
    QCOMPARE(q(folders.Sources[0]),
             QStringLiteral("/profiles/ana/AppData/Local/Packages/"
                            "Microsoft.Windows.ContentDeliveryManager_cw5n1h2txyewy/LocalState/"
                            "Assets"));
}

QTEST_GUILESS_MAIN(SpotlightHarvestTest)
#include "spotlight_harvest_test.moc"
