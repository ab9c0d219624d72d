// Admission into the pack queue: the five tests in order, the cap of 21, duplicates under the
// user's locale with case ignored, trimming and the ASCII-only lower-casing of the extension.
#include "app/pack_queue.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <set>
#include <thread>

class PackQueueTest : public QObject {
    Q_OBJECT

private slots:
    void admitsByNameOnly_data();
    void admitsByNameOnly();
    void duplicates_data();
    void duplicates();
    void folderNamedLikeAPackIsAdmitted();
    void twentyFivePacksQueueTheFirstTwentyOne();
    void packIsQueuedAgainAfterItLeftTheQueue();
    void admissionIsAtomicWithRespectToARunningExtraction();
};

void PackQueueTest::admitsByNameOnly_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("admitted");
    QTest::addColumn<QString>("stored");
    QTest::newRow("lower case") << "/p/Autumn.themepack" << true << "/p/Autumn.themepack";
    QTest::newRow("upper case") << "/p/Autumn.THEMEPACK" << true << "/p/Autumn.THEMEPACK";
    QTest::newRow("desk theme pack")
        << "/p/Autumn.DeskThemePack" << true << "/p/Autumn.DeskThemePack";
    QTest::newRow("nothing before the dot") << "/p/.themepack" << true << "/p/.themepack";
    QTest::newRow("two dots") << "/p/a.b.deskthemepack" << true << "/p/a.b.deskthemepack";
    QTest::newRow("bare name") << "Autumn.themepack" << true << "Autumn.themepack";
    QTest::newRow("zip of a pack") << "/p/Autumn.themepack.zip" << false << "";
    QTest::newRow("theme file") << "/p/Autumn.theme" << false << "";
    QTest::newRow("no extension") << "/p/Autumn" << false << "";
    QTest::newRow("backup of a pack") << "/p/.themepack.bak" << false << "";
    QTest::newRow("dot only in a folder name") << "/p/a.themepack/file" << false << "";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("blanks only") << " \t " << false << "";
    // Characters at or below U+0020 go from both ends of the path and of the extension.
    QTest::newRow("surrounding blanks")
        << QString(" \t/p/Autumn.themepack \r\n") << true << "/p/Autumn.themepack";
    QTest::newRow("trailing control characters")
        << QString("/p/Autumn.themepack") + QChar(0) + QChar(0x1F) << true << "/p/Autumn.themepack";
    QTest::newRow("no-break space is not trimmed")
        << QString("/p/Autumn.themepack") + QChar(0xA0) << false << "";
    // Only A to Z are lower-cased: a Kelvin sign or full-width letters stay what they are.
    QTest::newRow("Kelvin sign") << QString("/p/Autumn.themepac") + QChar(0x212A) << false << "";
    QTest::newRow("full-width letters") << QString::fromUtf16(
                                               u"/p/a.\uFF54\uFF48\uFF45\uFF4D\uFF45"
                                               u"\uFF50\uFF41\uFF43\uFF4B")
                                        << false << "";
    QTest::newRow("accented name") << QString::fromUtf16(u"/p/Été à Paris.themepack") << true
                                   << QString::fromUtf16(u"/p/Été à Paris.themepack");
}

void PackQueueTest::admitsByNameOnly() {
    QFETCH(QString, path);
    QFETCH(bool, admitted);
    QFETCH(QString, stored);
    TPackQueue queue;
    QCOMPARE(queue.Addtolst(path.toStdU16String()), admitted);
    QCOMPARE(queue.Count(), size_t{admitted ? 1u : 0u});
    if (admitted) QCOMPARE(QString::fromStdU16String(*queue.Item(0)), stored);
}

void PackQueueTest::duplicates_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("same");
    QTest::newRow("identical") << "/p/Autumn.themepack"
                               << "/p/Autumn.themepack" << true;
    QTest::newRow("letter case") << "/Packs/Autumn.themepack"
                                 << "/packs/AUTUMN.themepack" << true;
    QTest::newRow("accented letter case") << QString::fromUtf16(u"/p/Été.themepack")
                                          << QString::fromUtf16(u"/p/ÉTÉ.themepack") << true;
    QTest::newRow("blanks around a queued path") << "/p/Autumn.themepack"
                                                 << " /p/Autumn.themepack " << true;
    QTest::newRow("accents differ") << QString::fromUtf16(u"/p/Ete.themepack")
                                    << QString::fromUtf16(u"/p/Été.themepack") << false;
    QTest::newRow("other folder") << "/p/Autumn.themepack"
                                  << "/q/Autumn.themepack" << false;
    QTest::newRow("other spelling of the same file") << "/p/Autumn.themepack"
                                                     << "/p/./Autumn.themepack" << false;
    // Same under case folding, but not of the same length.
    QTest::newRow("sharp s") << QString::fromUtf16(u"/p/Straße.themepack") << "/p/STRASSE.themepack"
                             << false;
}

void PackQueueTest::duplicates() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, same);
    TPackQueue queue;
    QVERIFY(queue.Addtolst(first.toStdU16String()));
    QCOMPARE(queue.Addtolst(second.toStdU16String()), !same);
    QCOMPARE(queue.Count(), size_t{same ? 1u : 2u});
    QCOMPARE(QString::fromStdU16String(*queue.Item(0)), first);
}

void PackQueueTest::folderNamedLikeAPackIsAdmitted() {
    QTemporaryDir scratch;
    QVERIFY(QDir(scratch.path()).mkpath("Holiday.themepack"));
    TPackQueue queue;
    const QString folder = scratch.filePath("Holiday.themepack");
    QVERIFY(queue.Addtolst(folder.toStdU16String()));
    QCOMPARE(queue.Items(), std::vector<std::u16string>{folder.toStdU16String()});
}

void PackQueueTest::twentyFivePacksQueueTheFirstTwentyOne() {
    TPackQueue queue;
    std::vector<std::u16string> expected;
    for (int i = 1; i <= 25; ++i) {
        const auto path = QStringLiteral("/packs/Pack%1.themepack").arg(i).toStdU16String();
        QCOMPARE(queue.Addtolst(path), i <= 21);
        if (i <= 21) expected.push_back(path);
    }
    QCOMPARE(queue.Items(), expected);
    // A duplicate or a wrong name is turned away before the cap is even looked at, and room
    // made by the extraction run is used again.
    QVERIFY(!queue.Addtolst(u"/packs/Pack1.themepack"));
    QVERIFY(queue.Delete(20));
    QVERIFY(queue.Addtolst(u"/packs/Pack25.themepack"));
    QCOMPARE(queue.Count(), size_t{21});
    QVERIFY(!queue.Delete(21));
}

void PackQueueTest::packIsQueuedAgainAfterItLeftTheQueue() {
    TPackQueue queue;
    QVERIFY(queue.Addtolst(u"/p/Autumn.themepack"));
    QVERIFY(!queue.Addtolst(u"/p/Autumn.themepack"));
    QVERIFY(queue.Delete(0));
    QVERIFY(queue.IsEmpty());
    QVERIFY(queue.Addtolst(u"/p/Autumn.themepack"));
}

// A consumer drains the queue from its end, as extraction runs do, while the UI thread keeps
// admitting: every admitted pack leaves exactly once and the cap always holds.
void PackQueueTest::admissionIsAtomicWithRespectToARunningExtraction() {
    TPackQueue queue;
    std::atomic<bool> producing{true};
    std::atomic<size_t> largest{0};
    std::atomic<bool> sawDuplicate{false};
    std::vector<std::u16string> drained;
    std::thread consumer([&] {
        for (;;) {
            const bool more = producing;
            bool took = false;
            queue.WithLock([&](std::vector<std::u16string>& entries) {
                largest = std::max(largest.load(), entries.size());
                const std::set<std::u16string> distinct(entries.begin(), entries.end());
                if (distinct.size() != entries.size()) sawDuplicate = true;
                if (!entries.empty()) {
                    drained.push_back(entries.back());
                    entries.pop_back();
                    took = true;
                }
            });
            if (!more && !took) return;
        }
    });
    std::multiset<std::u16string> admitted;
    for (int i = 0; i < 3000; ++i) {
        // Names come round again, so a drained pack is admitted anew later.
        const auto path = QStringLiteral("/p/%1.themepack").arg(i % 50).toStdU16String();
        if (queue.Addtolst(path)) admitted.insert(path);
    }
    producing = false;
    consumer.join();
    QVERIFY(largest <= TPackQueue::kCapacity);
    QVERIFY(!sawDuplicate);
    QVERIFY(queue.IsEmpty());
    QCOMPARE(std::multiset<std::u16string>(drained.begin(), drained.end()), admitted);
}

QTEST_GUILESS_MAIN(PackQueueTest)
#include "pack_queue_test.moc"
