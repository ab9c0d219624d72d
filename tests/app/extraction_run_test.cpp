// The extraction run without the window: the reports it issues and their order, the walk
// from the last queued pack to the first, failed packs leaving the queue, packs whose members
// fail counting as failed, stopping, and 200 drops on the queue while one worker drains it.
#include "app/extraction_run.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <thread>

#include "app/pack_queue.h"
#include "app/run_worker.h"
#include "archive/cab/ab_fci_fdi.h"
#include "archive/components/ab_cab_extractor.h"
#include "pack_maker.h"
#include "util/errors.h"

using packmaker::Member;
using packmaker::MemberFault;

namespace {

// Reports as short words: "P Autumn 50" (progress), "R" (reset), "D Autumn" (done),
// "F Broken" (failed).
QString word(const TRunReport& report) {
    const QString name = QString::fromStdU16String(report.Name);
    switch (report.Kind) {
        case TRunReport::TKind::rkProgress:
            return QStringLiteral("P %1 %2").arg(name).arg(report.Progress);
        case TRunReport::TKind::rkReset:
            return QStringLiteral("R");
        case TRunReport::TKind::rkPackDone:
            return (report.Failed ? "F " : "D ") + name;
    }
    return {};
}

class RecordingDisplay : public IRunDisplay {
public:
    void Post(TRunReport report) override {
        std::function<void(const TRunReport&)> hook;
        {
            std::lock_guard lock(FLock);
            FReports.push_back(report);
            hook = OnPost;
        }
        if (hook) hook(report);
    }
    std::vector<TRunReport> Take() {
        std::lock_guard lock(FLock);
        return std::exchange(FReports, {});
    }
    QStringList TakeWords() {
        QStringList words;
        for (const auto& report : Take()) words << word(report);
        return words;
    }
    // Called on the run's thread after each report is recorded.
    std::function<void(const TRunReport&)> OnPost;

private:
    std::mutex FLock;
    std::vector<TRunReport> FReports;
};

// A queue, an extractor and a run over them, wired like the window wires its own.
struct RunRig {
    TPackQueue queue;
    TAbCabExtractor extractor{nullptr};
    RecordingDisplay display;
    std::atomic<bool> stop{false};
    TExtractionRun run{queue, extractor, display, [this] { return stop.load(); }};

    RunRig() {
        extractor.SetOnArchiveProgress([this](TComponent&, uint8_t progress, bool& abort) {
            run.ArchiveProgress(progress, abort);
        });
        extractor.SetOnProcessItemFailure(
            [this](TComponent&, TAbArchiveItem* item, TAbProcessType, TAbErrorClass errorClass,
                   int32_t errorCode) { run.ProcessItemFailure(item, errorClass, errorCode); });
    }
    ~RunRig() {
        extractor.SetOnArchiveProgress({});
        extractor.SetOnProcessItemFailure({});
    }
    void admit(const QString& path) { QVERIFY(queue.Addtolst(path.toStdU16String())); }
};

const std::vector<Member> kAutumn = {
    {"Autumn.theme", "[Theme]"},
    {"DesktopBackground/img1.jpg", "one"},
    {"DesktopBackground/img2.PNG", "two"},
    {"DesktopBackground/deeper/IMG3.JPG", "three"},
};

// Whether a failed member's reason says what went wrong for that kind of fault.
bool reasonFits(MemberFault fault, const QString& reason, const QString& target) {
    if (fault == MemberFault::FolderInTheWay) {
        bool fits = reason.startsWith("Cannot create file \"" + target);
#ifndef _WIN32
        fits = fits && reason.endsWith(QString::fromStdU16String(systemErrorText(EISDIR)));
#endif
        return fits;
    }
    return reason == QString::fromStdU16String(FdiErrorMessage(FDIERROR_CORRUPT_CABINET)) ||
           reason == QString::fromStdU16String(FdiErrorMessage(FDIERROR_MDI_FAIL));
}

}  // namespace

class ExtractionRunTest : public QObject {
    Q_OBJECT

private slots:
    void onePackReportsInOrder();
    void walksFromTheLastQueuedPackToTheFirst();
    void packsAdmittedDuringARunWaitForTheNext();
    void failedPacksLeaveTheQueueAndTheRunGoesOn();
    void membersThatFailMakeTheirPackFail_data();
    void membersThatFailMakeTheirPackFail();
    void stopAbortsThePackInHandAndKeepsItQueued();
    void folderAndTextHelpers_data();
    void folderAndTextHelpers();
    void twoHundredDropsWhileRunsAreInFlight();
};

void ExtractionRunTest::onePackReportsInOrder() {
    QTemporaryDir scratch;
    const QString pack = scratch.filePath("Autumn.themepack");
    QVERIFY(packmaker::makePack(pack, kAutumn));
    RunRig rig;
    rig.admit(pack);
    rig.run.DoExtract();
    // Opening reports 100, then the reset, then one report per member and a final 100.
    const QStringList once{"P Autumn 100", "R",           "P Autumn 25",
                           "P Autumn 50",  "P Autumn 75", "P Autumn 100",
                           "P Autumn 100", "D Autumn"};
    QCOMPARE(rig.display.TakeWords(), once);
    QCOMPARE(packmaker::filesUnder(scratch.filePath("Autumn")),
             QStringList({"IMG3.JPG", "img1.jpg", "img2.PNG"}));
    QCOMPARE(rig.queue.Count(), size_t{0});

    // Dropped again: the archive still open from before is released first, reporting 0.
    rig.admit(pack);
    rig.run.DoExtract();
    QCOMPARE(rig.display.TakeWords(), QStringList{"P Autumn 0"} + once);
}

void ExtractionRunTest::walksFromTheLastQueuedPackToTheFirst() {
    QTemporaryDir scratch;
    RunRig rig;
    for (const char* name : {"A", "B", "C"}) {
        const QString pack = scratch.filePath(QStringLiteral("%1.themepack").arg(name));
        QVERIFY(packmaker::makePack(pack, {{QStringLiteral("%1.jpg").arg(name), name}}));
        rig.admit(pack);
    }
    rig.run.DoExtract();
    QStringList done;
    for (const auto& report : rig.display.Take()) {
        // Only the pack that leaves the queue empty says so.
        if (report.Kind == TRunReport::TKind::rkPackDone) {
            done << word(report) + (report.QueueDrained ? " drained" : "");
        }
    }
    QCOMPARE(done, QStringList({"D C", "D B", "D A drained"}));
    QCOMPARE(rig.queue.Count(), size_t{0});
}

void ExtractionRunTest::packsAdmittedDuringARunWaitForTheNext() {
    QTemporaryDir scratch;
    const QString first = scratch.filePath("First.themepack");
    const QString late = scratch.filePath("Late.themepack");
    QVERIFY(packmaker::makePack(first, {{"f.jpg", "f"}}));
    QVERIFY(packmaker::makePack(late, {{"l.jpg", "l"}}));
    RunRig rig;
    rig.admit(first);
    bool admitted = false;
    rig.display.OnPost = [&](const TRunReport&) {
        if (!admitted) admitted = rig.queue.Addtolst(late.toStdU16String());
    };
    rig.run.DoExtract();
    QVERIFY(admitted);
    QCOMPARE(rig.queue.Items(), std::vector<std::u16string>{late.toStdU16String()});
    QVERIFY(!QFileInfo::exists(scratch.filePath("Late")));
    rig.run.DoExtract();
    QCOMPARE(rig.queue.Count(), size_t{0});
    QCOMPARE(packmaker::readFile(scratch.filePath("Late/l.jpg")), QByteArray("l"));
}

void ExtractionRunTest::failedPacksLeaveTheQueueAndTheRunGoesOn() {
    QTemporaryDir scratch;
    RunRig rig;
    const QString a = scratch.filePath("A.themepack");
    const QString broken = scratch.filePath("Broken.themepack");
    const QString missing = scratch.filePath("Missing.themepack");
    const QString empty = scratch.filePath("Empty.themepack");
    const QString c = scratch.filePath("C.themepack");
    QVERIFY(packmaker::makePack(a, {{"a.jpg", "a"}}));
    QVERIFY(packmaker::writeFile(broken, "plain text, not a cabinet"));
    QVERIFY(packmaker::writeFile(empty, ""));
    QVERIFY(packmaker::makePack(c, {{"c.png", "c"}}));
    for (const QString& pack : {a, broken, missing, empty, c}) rig.admit(pack);

    rig.run.DoExtract();

    const auto reports = rig.display.Take();
    QStringList done;
    for (const auto& report : reports) {
        if (report.Kind == TRunReport::TKind::rkPackDone) done << word(report);
    }
    QCOMPARE(done, QStringList({"D C", "F Empty", "F Missing", "F Broken", "D A"}));
    QCOMPARE(rig.queue.Count(), size_t{0});
    QCOMPARE(packmaker::readFile(scratch.filePath("A/a.jpg")), QByteArray("a"));
    QCOMPARE(packmaker::readFile(scratch.filePath("C/c.png")), QByteArray("c"));
    const std::vector<TPackFailure> expected{
        {empty.toStdU16String(), u"Invalid file - not a cabinet file", {}},
        {missing.toStdU16String(), u"File not found", {}},
        {broken.toStdU16String(), u"Invalid file - not a cabinet file", {}},
    };
    QVERIFY(reports.back().Failures);
    QCOMPARE(*reports.back().Failures, expected);

    // The queue was emptied: the next run starts with a clean slate.
    rig.admit(a);
    rig.run.DoExtract();
    const auto next = rig.display.Take();
    QVERIFY(!next.empty() && next.back().Failures);
    QVERIFY(next.back().Failures->empty());
}

void ExtractionRunTest::membersThatFailMakeTheirPackFail_data() {
    packmaker::addMemberFaultRows();
}

void ExtractionRunTest::membersThatFailMakeTheirPackFail() {
    QFETCH(MemberFault, fault);
    QTemporaryDir scratch;
    const QString pack = scratch.filePath("Damaged.themepack");
    const QString target = scratch.filePath("Damaged");
    const packmaker::FailingPack made = packmaker::makeFailingPack(pack, target, fault);
    QVERIFY(!made.failing.isEmpty());
    RunRig rig;
    rig.admit(pack);

    rig.run.DoExtract();

    // The pack leaves the queue as failed, naming each member that did not come out.
    const auto reports = rig.display.Take();
    QVERIFY(!reports.empty());
    QCOMPARE(word(reports.back()), QStringLiteral("F Damaged"));
    QVERIFY(reports.back().QueueDrained);
    QCOMPARE(rig.queue.Count(), size_t{0});
    QVERIFY(reports.back().Failures);
    QCOMPARE(reports.back().Failures->size(), size_t{1});
    const TPackFailure& failure = reports.back().Failures->front();
    QCOMPARE(failure.Pack, pack.toStdU16String());
    QCOMPARE(failure.Message, StatusText::MembersFailed(made.failing.size()));
    QStringList failed;
    for (const TMemberFailure& member : failure.Members) {
        failed << QString::fromStdU16String(member.Member);
        const QString reason = QString::fromStdU16String(member.Message);
        QVERIFY2(reasonFits(fault, reason, target), qPrintable(reason));
    }
    QCOMPARE(failed, made.failing);

    // The other members came out whole, and a failed one left nothing behind.
    QStringList written;
    for (const Member& member : made.members) {
        if (made.failing.contains(member.storedName)) continue;
        written << member.storedName;
        QCOMPARE(packmaker::readFile(target + "/" + member.storedName), member.content);
    }
    QCOMPARE(packmaker::filesUnder(target), written);
}

void ExtractionRunTest::stopAbortsThePackInHandAndKeepsItQueued() {
    QTemporaryDir scratch;
    const QString pack = scratch.filePath("Many.themepack");
    std::vector<Member> members;
    for (int i = 0; i < 40; ++i) members.push_back({QStringLiteral("m%1.jpg").arg(i), "x"});
    QVERIFY(packmaker::makePack(pack, members));
    RunRig rig;
    rig.admit(pack);
    // Shutdown begins while the fourth member is reported.
    rig.display.OnPost = [&](const TRunReport& report) {
        if (report.Kind == TRunReport::TKind::rkProgress && report.Progress == 10) rig.stop = true;
    };
    rig.run.DoExtract();
    const QStringList words = rig.display.TakeWords();
    QCOMPARE(words.last(), QStringLiteral("P Many 10"));
    QCOMPARE(rig.queue.Count(), size_t{1});
    QCOMPARE(packmaker::filesUnder(scratch.filePath("Many")).size(), 4);
}

void ExtractionRunTest::folderAndTextHelpers_data() {
    QTest::addColumn<QString>("pack");
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << "/packs/Autumn.themepack"
                           << "/packs/Autumn";
    QTest::newRow("dotted") << "/packs/a.b.deskthemepack"
                            << "/packs/a.b";
    QTest::newRow("only an extension") << "/packs/.themepack"
                                       << "/packs/";
    QTest::newRow("dot in a folder") << "/pa.cks/Autumn.themepack"
                                     << "/pa.cks/Autumn";
}

void ExtractionRunTest::folderAndTextHelpers() {
    QFETCH(QString, pack);
    QFETCH(QString, folder);
    QCOMPARE(QString::fromStdU16String(PackTargetFolder(pack.toStdU16String())), folder);
    QCOMPARE(StatusText::Progress(u"Autumn", 45), u"Autumn...45%");
    QCOMPARE(StatusText::Failed(u"Autumn"), u"Autumn... failed");
    QCOMPARE(StatusText::Complete(0), u"Complete!");
    QCOMPARE(StatusText::Complete(1), u"Complete! 1 pack failed");
    QCOMPARE(StatusText::Complete(3), u"Complete! 3 packs failed");
    QCOMPARE(StatusText::MembersFailed(1), u"1 member failed");
    QCOMPARE(StatusText::MembersFailed(2), u"2 members failed");
    QCOMPARE(
        StatusText::FailureList(
            {{u"/p/A.themepack", u"why", {}},
             {u"/p/B.themepack", u"2 members failed", {{u"b1.jpg", u"how"}, {u"b2.png", u"when"}}},
             {u"/p/C.themepack", u"what", {}}}),
        u"/p/A.themepack: why\n/p/B.themepack: 2 members failed\n    b1.jpg: how\n"
        u"    b2.png: when\n/p/C.themepack: what");
}

void ExtractionRunTest::twoHundredDropsWhileRunsAreInFlight() {
    QTemporaryDir scratch;
    QStringList packs;
    for (int i = 0; i < 6; ++i) {
        const QString pack = scratch.filePath(QStringLiteral("P%1.themepack").arg(i));
        QVERIFY(packmaker::makePack(pack, {{"a.jpg", "a"}, {"b/b.png", QByteArray(i + 1, 'b')}}));
        packs << pack;
    }
    RunRig rig;
    TRunWorker worker([&] { rig.run.DoExtract(); });
    std::map<QString, int> admitted;
    for (int drop = 0; drop < 200; ++drop) {
        for (const QString& pack : {packs[drop % 6], packs[(drop * 5 + 1) % 6]}) {
            if (rig.queue.Addtolst(pack.toStdU16String())) ++admitted[QFileInfo(pack).baseName()];
        }
        worker.Request();
        if (drop % 16 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    QTRY_VERIFY_WITH_TIMEOUT(worker.Idle() && rig.queue.Count() == 0, 60000);

    // Every admission was extracted exactly once, in a well-formed sequence of reports.
    std::map<QString, int> extracted;
    QString inHand;
    int last = -1;
    for (const auto& report : rig.display.Take()) {
        const QString name = QString::fromStdU16String(report.Name);
        switch (report.Kind) {
            case TRunReport::TKind::rkReset:
                last = 0;
                break;
            case TRunReport::TKind::rkProgress:
                if (name != inHand) {
                    inHand = name;
                } else if (last >= 0) {
                    QVERIFY2(report.Progress >= last, qPrintable(name));
                    last = report.Progress;
                }
                break;
            case TRunReport::TKind::rkPackDone:
                QVERIFY2(!report.Failed, qPrintable(name));
                QCOMPARE(name, inHand);
                ++extracted[name];
                last = -1;
                break;
        }
    }
    QCOMPARE(extracted, admitted);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(packmaker::readFile(scratch.filePath(QStringLiteral("P%1/b.png").arg(i))),
                 QByteArray(i + 1, 'b'));
    }
}

QTEST_GUILESS_MAIN(ExtractionRunTest)
#include "extraction_run_test.moc"
