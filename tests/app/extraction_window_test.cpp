// The extraction run through the window, offscreen: packs dropped on it are extracted beside
// themselves, the progress bar and the status label end as the user should see them, failed
// packs are named, and the window closes safely while a run is in flight.
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <thread>

#include "app/form1.h"
#include "pack_maker.h"

using packmaker::Member;

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
    // Members of noise, slow enough to extract that the window closes in the middle.
    constexpr int kMembers = 60;
    std::vector<Member> members;
    uint32_t noise = 12345;
    for (int i = 0; i < kMembers; ++i) {
        QByteArray content(40000, '\0');
        for (char& byte : content) {
            noise = noise * 1103515245u + 12345u;
            byte = static_cast<char>(noise >> 24);
        }
        members.push_back({QStringLiteral("d%1/m%1.jpg").arg(i), content});
    }
    QVERIFY(packmaker::makePack(pack, members));
    auto form = std::make_unique<TForm1>(quietServices());
    form->show();
    dropFiles(*form, {pack});
    // Closed as soon as the first member has been written.
    QVERIFY(QTest::qWaitFor(
        [&] { return !packmaker::filesUnder(scratch.filePath("Many")).isEmpty(); }, 60000));
    form->close();
    form.reset();

    // The worker has ended with the window (the run aborted at its next member, which the
    // run's own tests show): nothing is written any more, and no report reached a control
    // that was gone (the sanitizer builds watch for that).
    const qsizetype written = packmaker::filesUnder(scratch.filePath("Many")).size();
    QTest::qWait(200);
    QCOMPARE(packmaker::filesUnder(scratch.filePath("Many")).size(), written);
    QVERIFY(written > 0 && written <= kMembers);
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
