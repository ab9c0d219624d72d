// The extraction run through the window, offscreen: packs dropped on it are extracted beside
// themselves, the progress bar and the status label end as the user should see them, failed
// packs and failed members are named, and the window closes safely while a run is in flight.
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/form1.h"
#include "pack_maker.h"

using packmaker::Member;
using packmaker::MemberFault;

namespace {

TFormServices quietServices() {
    TFormServices services;
    services.ExploreFolder = [](const std::u16string&) { return true; };
    services.ShellOpen = [](const std::u16string&) {};
    return services;
}

// Drops the files on the window the way the desktop does: a drag entering, then the drop.
void dropFiles(TForm1& form, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPointF centre(form.width() / 2.0, form.height() / 2.0);
    QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
}

// Waits until the worker has nothing left to do and every report has reached the window.
bool settle(TForm1& form) {
    if (!QTest::qWaitFor([&] { return form.ExtractionIdle(); }, 60000)) return false;
    QCoreApplication::processEvents();
    return true;
}

}  // namespace

class ExtractionWindowTest : public QObject {
    Q_OBJECT

private slots:
    void droppedPackIsExtractedBesideIt_data();
    void droppedPackIsExtractedBesideIt();
    void failedPacksAreNamedAndTheOthersExtracted_data();
    void failedPacksAreNamedAndTheOthersExtracted();
    void packsWithFailedMembersEndInTheFailureLabel_data();
    void packsWithFailedMembersEndInTheFailureLabel();
    void droppingAFinishedPackAgainReplacesItsFiles();
    void aRunOverAnEmptyQueueChangesNothing();
    void closingWhileARunIsInFlight();
    void twoHundredDropsWhileRunsAreInFlight();
};

void ExtractionWindowTest::droppedPackIsExtractedBesideIt_data() {
    QTest::addColumn<QString>("pack");
    QTest::addColumn<std::vector<Member>>("members");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("nested members by bare name, any letter case")
        << "Autumn.themepack"
        << std::vector<Member>{{"Autumn.theme", "[Theme]"},
                               {"DesktopBackground/img1.jpg", "one"},
                               {"DesktopBackground/img2.PNG", "two"},
                               {"DesktopBackground/deeper/IMG3.JPG", "three"}}
        << "Autumn" << QStringList{"IMG3.JPG", "img1.jpg", "img2.PNG"} << "IMG3.JPG"
        << QByteArray("three");
    QTest::newRow("the later of two bare names wins")
        << "Twice.themepack"
        << std::vector<Member>{{"one/same.jpg", "earlier"}, {"two/same.jpg", "later"}} << "Twice"
        << QStringList{"same.jpg"} << "same.jpg" << QByteArray("later");
    QTest::newRow("only the last extension goes")
        << "a.b.deskthemepack" << std::vector<Member>{{"x.png", "x"}} << "a.b"
        << QStringList{"x.png"} << "x.png" << QByteArray("x");
    QTest::newRow("no picture at all")
        << "Plain.themepack" << std::vector<Member>{{"Plain.theme", "[Theme]"}} << "Plain"
        << QStringList{} << "" << QByteArray();
}

void ExtractionWindowTest::droppedPackIsExtractedBesideIt() {
    QFETCH(QString, pack);
    QFETCH(std::vector<Member>, members);
    QFETCH(QString, folder);
    QFETCH(QStringList, files);
    QFETCH(QString, checked);
    QFETCH(QByteArray, content);
    QTemporaryDir scratch;
    QVERIFY(packmaker::makePack(scratch.filePath(pack), members));
    TForm1 form(quietServices());

    dropFiles(form, {scratch.filePath(pack)});
    QVERIFY(settle(form));

    QCOMPARE(packmaker::filesUnder(scratch.filePath(folder)), files);
    if (!checked.isEmpty()) {
        QCOMPARE(packmaker::readFile(scratch.filePath(folder + "/" + checked)), content);
    }
    QCOMPARE(form.lblDoExtract->text(), QStringLiteral("Complete!"));
    QCOMPARE(form.lblDoExtract->toolTip(), QString());
    QCOMPARE(form.ProgressBar1->value(), 100);
    QCOMPARE(form.PackQueue()->Count(), size_t{0});
}

void ExtractionWindowTest::failedPacksAreNamedAndTheOthersExtracted_data() {
    QTest::addColumn<QStringList>("broken");
    QTest::addColumn<QString>("label");
    QTest::newRow("one") << QStringList{"Broken"} << "Complete! 1 pack failed";
    QTest::newRow("two") << QStringList{"Broken", "Junk"} << "Complete! 2 packs failed";
}

void ExtractionWindowTest::failedPacksAreNamedAndTheOthersExtracted() {
    QFETCH(QStringList, broken);
    QFETCH(QString, label);
    QTemporaryDir scratch;
    QStringList drop;
    QVERIFY(packmaker::makePack(scratch.filePath("Good1.themepack"), {{"g1.jpg", "1"}}));
    drop << scratch.filePath("Good1.themepack");
    for (const QString& name : broken) {
        QVERIFY(packmaker::writeFile(scratch.filePath(name + ".themepack"), "not a cabinet"));
        drop << scratch.filePath(name + ".themepack");
    }
    QVERIFY(packmaker::makePack(scratch.filePath("Good2.themepack"), {{"g2.png", "2"}}));
    drop << scratch.filePath("Good2.themepack");
    TForm1 form(quietServices());

    dropFiles(form, drop);
    QVERIFY(settle(form));

    QCOMPARE(packmaker::readFile(scratch.filePath("Good1/g1.jpg")), QByteArray("1"));
    QCOMPARE(packmaker::readFile(scratch.filePath("Good2/g2.png")), QByteArray("2"));
    QCOMPARE(form.PackQueue()->Count(), size_t{0});
    QCOMPARE(form.lblDoExtract->text(), label);
    QCOMPARE(form.ProgressBar1->value(), 100);
    const QString tip = form.lblDoExtract->toolTip();
    for (const QString& name : broken) {
        QVERIFY2(tip.contains(scratch.filePath(name + ".themepack") +
                              ": Invalid file - not a cabinet file"),
                 qPrintable(tip));
    }
    QVERIFY2(!tip.contains("Good"), qPrintable(tip));

    // The next successful run clears the failures away.
    dropFiles(form, {scratch.filePath("Good1.themepack")});
    QVERIFY(settle(form));
    QCOMPARE(form.lblDoExtract->text(), QStringLiteral("Complete!"));
    QCOMPARE(form.lblDoExtract->toolTip(), QString());
}

void ExtractionWindowTest::packsWithFailedMembersEndInTheFailureLabel_data() {
    packmaker::addMemberFaultRows();
}

void ExtractionWindowTest::packsWithFailedMembersEndInTheFailureLabel() {
    QFETCH(MemberFault, fault);
    QTemporaryDir scratch;
    const QString good = scratch.filePath("Good.themepack");
    const QString damaged = scratch.filePath("Damaged.themepack");
    QVERIFY(packmaker::makePack(good, {{"g.jpg", "g"}}));
    const packmaker::FailingPack made =
        packmaker::makeFailingPack(damaged, scratch.filePath("Damaged"), fault);
    QVERIFY(!made.failing.isEmpty());
    TForm1 form(quietServices());
    QStringList shown;
    connect(&form, &TForm1::statusShown, [&](const QString& text) { shown << text; });

    // Dropped last, the damaged pack goes first: its failure shows while the run goes on.
    dropFiles(form, {good, damaged});
    QVERIFY(settle(form));

    const QString trail = shown.join(" | ");
    const qsizetype failedAt = shown.indexOf("Damaged... failed");
    QVERIFY2(failedAt >= 0, qPrintable(trail));
    QVERIFY2(shown.indexOf("Good...100%", failedAt) > failedAt, qPrintable(trail));
    QVERIFY2(!shown.contains("Complete!"), qPrintable(trail));
    QCOMPARE(shown.last(), QStringLiteral("Complete! 1 pack failed"));
    QCOMPARE(form.lblDoExtract->text(), QStringLiteral("Complete! 1 pack failed"));
    QCOMPARE(form.ProgressBar1->value(), 100);
    QCOMPARE(packmaker::readFile(scratch.filePath("Good/g.jpg")), QByteArray("g"));

    // The tooltip names the pack, then each failed member with its reason, and nothing else.
    const QStringList tip = form.lblDoExtract->toolTip().split('\n');
    QCOMPARE(tip.size(), 1 + made.failing.size());
    QCOMPARE(tip[0], damaged + ": " +
                         QString::fromStdU16String(StatusText::MembersFailed(made.failing.size())));
    for (qsizetype i = 0; i < made.failing.size(); ++i) {
        const QString prefix = "    " + made.failing[i] + ": ";
        QVERIFY2(tip[i + 1].startsWith(prefix) && tip[i + 1].size() > prefix.size(),
                 qPrintable(tip[i + 1]));
    }
}

void ExtractionWindowTest::droppingAFinishedPackAgainReplacesItsFiles() {
    QTemporaryDir scratch;
    const QString pack = scratch.filePath("Autumn.themepack");
    QVERIFY(packmaker::makePack(pack, {{"DesktopBackground/img1.jpg", "original"}}));
    TForm1 form(quietServices());
    dropFiles(form, {pack});
    QVERIFY(settle(form));
    QVERIFY(packmaker::writeFile(scratch.filePath("Autumn/img1.jpg"), "changed since"));

    dropFiles(form, {pack});
    QVERIFY(settle(form));

    QCOMPARE(packmaker::readFile(scratch.filePath("Autumn/img1.jpg")), QByteArray("original"));
    QCOMPARE(form.lblDoExtract->text(), QStringLiteral("Complete!"));
}

void ExtractionWindowTest::aRunOverAnEmptyQueueChangesNothing() {
    QTemporaryDir scratch;
    QVERIFY(packmaker::writeFile(scratch.filePath("readme.txt"), "not a pack"));
    TForm1 form(quietServices());
    const QString before = form.lblDoExtract->text();

    dropFiles(form, {scratch.filePath("readme.txt")});
    QVERIFY(settle(form));
    QTest::qWait(50);

    QCOMPARE(form.lblDoExtract->text(), before);
    QCOMPARE(form.ProgressBar1->value(), 0);
    QCOMPARE(QDir(scratch.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
}

void ExtractionWindowTest::closingWhileARunIsInFlight() {
    QTemporaryDir scratch;
    const QString pack = scratch.filePath("Many.themepack");
    constexpr int kMembers = 60;
    std::vector<Member> members;
    for (int i = 0; i < kMembers; ++i) {
        members.push_back({QStringLiteral("d%1/m%1.jpg").arg(i), packmaker::noise(40000, i)});
    }
    QVERIFY(packmaker::makePack(pack, members));
    auto form = std::make_unique<TForm1>(quietServices());
    // The members after the first wait until the window is being closed, so that the close
    // surely comes while the pack is in hand, whatever the machine's speed.
    std::atomic<bool> closing{false};
    form->AbCabExtractor1->SetOnConfirmProcessItem(
        [&](TComponent&, TAbArchiveItem* item, TAbProcessType, bool&) {
            if (item && item->FileName().ends_with(u"m0.jpg")) return;
            for (int waited = 0; !closing && waited < 10000; ++waited) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    form->show();
    dropFiles(*form, {pack});
    QVERIFY(QTest::qWaitFor(
        [&] { return !packmaker::filesUnder(scratch.filePath("Many")).isEmpty(); }, 60000));
    closing = true;
    form->close();
    form.reset();

    // The run stopped: the pack was not extracted to its end, and nothing is written any
    // more. No report reached a control that was gone (the sanitizer builds watch for that).
    const QStringList files = packmaker::filesUnder(scratch.filePath("Many"));
    QVERIFY2(!files.isEmpty() && files.size() < kMembers, qPrintable(files.join(' ')));
    QTest::qWait(200);
    QCOMPARE(packmaker::filesUnder(scratch.filePath("Many")), files);
    // Every file there is a whole member, and no temporary file is left beside them.
    for (const QString& file : files) {
        const auto member = std::find_if(members.begin(), members.end(), [&](const Member& m) {
            return m.storedName.endsWith('/' + file);
        });
        QVERIFY2(member != members.end(), qPrintable(file));
        QVERIFY2(packmaker::readFile(scratch.filePath("Many/" + file)) == member->content,
                 qPrintable(file));
    }
}

void ExtractionWindowTest::twoHundredDropsWhileRunsAreInFlight() {
    QTemporaryDir scratch;
    QStringList packs;
    for (int i = 0; i < 5; ++i) {
        const QString pack = scratch.filePath(QStringLiteral("P%1.themepack").arg(i));
        QVERIFY(packmaker::makePack(pack, {{"x/a.jpg", QByteArray(i + 1, 'a')}, {"b.png", "b"}}));
        packs << pack;
    }
    TForm1 form(quietServices());
    for (int drop = 0; drop < 200; ++drop) {
        dropFiles(form, {packs[drop % 5], packs[(drop * 3 + 2) % 5]});
        QCoreApplication::processEvents();
        if (drop % 20 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    QVERIFY(settle(form));
    QCOMPARE(form.PackQueue()->Count(), size_t{0});
    QCOMPARE(form.lblDoExtract->text(), QStringLiteral("Complete!"));
    QCOMPARE(form.ProgressBar1->value(), 100);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(packmaker::readFile(scratch.filePath(QStringLiteral("P%1/a.jpg").arg(i))),
                 QByteArray(i + 1, 'a'));
    }
}

QTEST_MAIN(ExtractionWindowTest)
#include "extraction_window_test.moc"
