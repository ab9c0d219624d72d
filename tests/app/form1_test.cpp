// The main window: layout, texts, fonts, fixed size, menu, gallery link, date gate, drops.
#include "app/form1.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <ctime>
#include <mutex>

namespace {

// Records what the window asks of the shell instead of starting anything.
struct ShellRecord {
    std::mutex lock;
    std::vector<std::u16string> folders;
    std::vector<std::u16string> addresses;
};

TFormServices recordingServices(ShellRecord& record, QDateTime now = QDateTime::currentDateTime()) {
    TFormServices services;
    services.RunExtractions = false;  // these tests look at the intake alone
    services.LocalClock = [now] { return now; };
    services.ExploreFolder = [&record](const std::u16string& folder) {
        std::lock_guard lock(record.lock);
        record.folders.push_back(folder);
        return true;
    };
    services.ShellOpen = [&record](const std::u16string& target) {
        std::lock_guard lock(record.lock);
        record.addresses.push_back(target);
    };
    return services;
}

// Sets or unsets an environment variable for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            qputenv(name, value);
        } else {
            qunsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        if (old_) {
            qputenv(name_, old_->c_str());
        } else {
            qunsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

QDropEvent makeDrop(QMimeData& data, QWidget& target) {
    return QDropEvent(QPointF(target.width() / 2.0, target.height() / 2.0), Qt::CopyAction, &data,
                      Qt::LeftButton, Qt::NoModifier);
}

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void layoutMatchesTheDesign_data();
    void layoutMatchesTheDesign();
    void textsFontsAndInitialState();
    void windowHasAFixedSizeAndNoMaximise();
    void rightClickAnywhereShowsTheMenu_data();
    void rightClickAnywhereShowsTheMenu();
    void menuOffersThreeCommands();
    void folderShortcutsOpenTheirFolders_data();
    void folderShortcutsOpenTheirFolders();
    void galleryLinkOpensTheGallery();
    void dateGate_data();
    void dateGate();
    void dateGateReadsTheLocalCalendar_data();
    void dateGateReadsTheLocalCalendar();
    void dropAdmitsLocalFilesInOrderAndStartsOneRun();
    void nonFileDropsAreRefused_data();
    void nonFileDropsAreRefused();
    void fullQueueStillStartsARun();
    void spotlightWhileOneRunsIsIgnored();
};

void Form1Test::layoutMatchesTheDesign_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    // The status label is widened to its panel's width when the window is created.
    QTest::newRow("spnl1") << "spnl1"
                           << "Form1" << QRect(0, 0, 292, 106);
    QTest::newRow("lblDoExtract") << "lblDoExtract"
                                  << "spnl1" << QRect(1, 40, 292, 13);
    QTest::newRow("pnl1") << "pnl1"
                          << "spnl1" << QRect(0, 82, 292, 24);
    QTest::newRow("Label1") << "Label1"
                            << "pnl1" << QRect(0, 0, 292, 19);
    QTest::newRow("ProgressBar1") << "ProgressBar1"
                                  << "Form1" << QRect(0, 106, 292, 17);
}

void Form1Test::layoutMatchesTheDesign() {
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    ShellRecord record;
    TForm1 form(recordingServices(record));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const auto* control = form.findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QCOMPARE(control->geometry(), geometry);
}

void Form1Test::textsFontsAndInitialState() {
    ShellRecord record;
    TForm1 form(recordingServices(record));
    QCOMPARE(form.objectName(), QStringLiteral("Form1"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Pelmora2.1"));
    QVERIFY(!form.windowIcon().isNull());
    QCOMPARE(form.lblDoExtract->text(), QStringLiteral(". . ."));
    QCOMPARE(form.lblDoExtract->alignment(), Qt::AlignCenter);
    QCOMPARE(form.Label1->text(), QStringLiteral("1700+  Free Windows Themes"));
    QCOMPARE(form.Label1->alignment(), Qt::AlignCenter);
    QCOMPARE(form.Label1->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(form.ProgressBar1->minimum(), 0);
    QCOMPARE(form.ProgressBar1->maximum(), 100);
    QCOMPARE(form.ProgressBar1->value(), 0);
    QCOMPARE(form.PackQueue()->Count(), size_t{0});
    QVERIFY(form.acceptDrops());

    QCOMPARE(form.font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(form.font().pixelSize(), 11);
    QVERIFY(!form.font().bold());
    QCOMPARE(form.lblDoExtract->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(form.Label1->font().family(), QStringLiteral("Segoe Print"));
    QCOMPARE(form.Label1->font().pixelSize(), 11);
    QVERIFY(form.Label1->font().bold());
}

void Form1Test::windowHasAFixedSizeAndNoMaximise() {
    ShellRecord record;
    TForm1 form(recordingServices(record));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.size(), QSize(292, 123));
    QCOMPARE(form.minimumSize(), QSize(292, 123));
    QCOMPARE(form.maximumSize(), QSize(292, 123));
    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    form.resize(600, 400);
    QCOMPARE(form.size(), QSize(292, 123));
    form.showMaximized();
    QCOMPARE(form.size(), QSize(292, 123));
    form.showMinimized();
    QVERIFY(form.isMinimized());
}

void Form1Test::rightClickAnywhereShowsTheMenu_data() {
    QTest::addColumn<QString>("control");
    for (const char* name : {"Form1", "spnl1", "lblDoExtract", "pnl1", "Label1", "ProgressBar1"}) {
        QTest::newRow(name) << name;
    }
}

void Form1Test::rightClickAnywhereShowsTheMenu() {
    QFETCH(QString, control);
    ShellRecord record;
    TForm1 form(recordingServices(record));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QWidget* target = control == "Form1" ? &form : form.findChild<QWidget*>(control);
    QVERIFY(target);
    QVERIFY(!form.pm1->isVisible());
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                            target->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(target, &event);
    QTRY_VERIFY(form.pm1->isVisible());
    form.pm1->hide();
}

void Form1Test::menuOffersThreeCommands() {
    ShellRecord record;
    TForm1 form(recordingServices(record));
    const QList<QAction*> actions = form.pm1->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions[0], form.T1);
    QCOMPARE(actions[1], form.W1);
    QCOMPARE(actions[2], form.Spotlight1);
    QCOMPARE(form.T1->text(), QStringLiteral("Themes"));
    QCOMPARE(form.W1->text(), QStringLiteral("Wallpaper"));
    QCOMPARE(form.Spotlight1->text(), QStringLiteral("Spotlight"));
}

void Form1Test::folderShortcutsOpenTheirFolders_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QByteArray>("localAppData");
    QTest::addColumn<QByteArray>("xdgDataHome");
    QTest::addColumn<QByteArray>("windir");
    QTest::addColumn<QString>("expected");
    // Empty values stand for unset variables; HOME is /home/tester throughout.
    QTest::newRow("themes, Windows variable")
        << "T1" << QByteArray("/w/AppData/Local") << QByteArray("/xdg") << QByteArray()
        << "/w/AppData/Local/Microsoft/Windows/Themes";
    QTest::newRow("themes, XDG data home")
        << "T1" << QByteArray() << QByteArray("/xdg") << QByteArray() << "/xdg/themes";
    QTest::newRow("themes, default data home")
        << "T1" << QByteArray() << QByteArray() << QByteArray()
        << "/home/tester/.local/share/themes";
    QTest::newRow("wallpaper, Windows variable")
        << "W1" << QByteArray() << QByteArray() << QByteArray("/w/Windows")
        << "/w/Windows/Web/Wallpaper";
}

void Form1Test::folderShortcutsOpenTheirFolders() {
    QFETCH(QString, item);
    QFETCH(QByteArray, localAppData);
    QFETCH(QByteArray, xdgDataHome);
    QFETCH(QByteArray, windir);
    QFETCH(QString, expected);
    auto valueOrUnset = [](const QByteArray& v) { return v.isEmpty() ? nullptr : v.constData(); };
    ScopedEnvironment home("HOME", "/home/tester");
    ScopedEnvironment local("localappdata", valueOrUnset(localAppData));
    ScopedEnvironment localUpper("LOCALAPPDATA", nullptr);
    ScopedEnvironment xdg("XDG_DATA_HOME", valueOrUnset(xdgDataHome));
    ScopedEnvironment windows("WINDIR", valueOrUnset(windir));
    ShellRecord record;
    TForm1 form(recordingServices(record));
    form.findChild<QAction*>(item)->trigger();
    QCOMPARE(record.folders.size(), size_t{1});
    QCOMPARE(QString::fromStdU16String(record.folders[0]), expected);
    QVERIFY(record.addresses.empty());
}

void Form1Test::galleryLinkOpensTheGallery() {
    ShellRecord record;
    TForm1 form(recordingServices(record));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.Label1, Qt::RightButton);
    QVERIFY(record.addresses.empty());
    QTest::mouseClick(form.Label1, Qt::LeftButton);
    QCOMPARE(record.addresses.size(), size_t{1});
    QCOMPARE(record.addresses[0], std::u16string(kGalleryAddress));
    QVERIFY(QUrl(QString::fromStdU16String(record.addresses[0])).scheme() == "https");
    QVERIFY(record.folders.empty());
}

void Form1Test::dateGate_data() {
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<bool>("linkShown");
    QTest::newRow("last minute of August 2020")
        << QDateTime(QDate(2020, 8, 31), QTime(23, 59)) << false;
    QTest::newRow("first minute of September 2020")
        << QDateTime(QDate(2020, 9, 1), QTime(0, 0)) << true;
    QTest::newRow("mid August 2020") << QDateTime(QDate(2020, 8, 15), QTime(12, 0)) << false;
    QTest::newRow("December 2019") << QDateTime(QDate(2019, 12, 31), QTime(12, 0)) << false;
    QTest::newRow("January 2021") << QDateTime(QDate(2021, 1, 1), QTime(12, 0)) << true;
    QTest::newRow("2031") << QDateTime(QDate(2031, 6, 1), QTime(12, 0)) << true;
}

void Form1Test::dateGate() {
    QFETCH(QDateTime, now);
    QFETCH(bool, linkShown);
    ShellRecord record;
    TForm1 form(recordingServices(record, now));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.pnl1->isVisible(), linkShown);
    QCOMPARE(form.Label1->isVisible(), linkShown);
    // Hiding the link leaves everything else where it was.
    QCOMPARE(form.size(), QSize(292, 123));
    QCOMPARE(form.lblDoExtract->geometry(), QRect(1, 40, 292, 13));
}

void Form1Test::dateGateReadsTheLocalCalendar_data() {
    QTest::addColumn<QByteArray>("timeZone");
    QTest::addColumn<QDateTime>("utc");
    QTest::addColumn<bool>("linkShown");
    // POSIX time-zone strings: "PLM-2" is two hours ahead of UTC, "PLM+4" four behind.
    QTest::newRow("still August in UTC, September locally")
        << QByteArray("PLM-2") << QDateTime(QDate(2020, 8, 31), QTime(22, 30), Qt::UTC) << true;
    QTest::newRow("September in UTC, still August locally")
        << QByteArray("PLM+4") << QDateTime(QDate(2020, 9, 1), QTime(2, 0), Qt::UTC) << false;
}

void Form1Test::dateGateReadsTheLocalCalendar() {
    QFETCH(QByteArray, timeZone);
    QFETCH(QDateTime, utc);
    QFETCH(bool, linkShown);
    ScopedEnvironment zone("TZ", timeZone.constData());
    tzset();
    ShellRecord record;
    TForm1 form(recordingServices(record, utc));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.pnl1->isVisible(), linkShown);
}

void Form1Test::dropAdmitsLocalFilesInOrderAndStartsOneRun() {
    ShellRecord record;
    TForm1 form(recordingServices(record));
    QSignalSpy runs(&form, &TForm1::extractionRunStarted);
    QMimeData data;
    data.setUrls(
        {QUrl::fromLocalFile("/packs/C.themepack"), QUrl("https://example.org/B.themepack"),
         QUrl::fromLocalFile("/packs/A.deskthemepack"), QUrl::fromLocalFile("/packs/readme.txt"),
         QUrl::fromLocalFile("/packs/B.THEMEPACK")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop = makeDrop(data, form);
    QApplication::sendEvent(&form, &drop);
    QVERIFY(drop.isAccepted());
    const std::vector<std::u16string> expected{u"/packs/C.themepack", u"/packs/A.deskthemepack",
                                               u"/packs/B.THEMEPACK"};
    QCOMPARE(form.PackQueue()->Items(), expected);
    QCOMPARE(runs.count(), 1);
}

void Form1Test::nonFileDropsAreRefused_data() {
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<QString>("text");
    QTest::newRow("text") << QList<QUrl>() << "/packs/A.themepack";
    QTest::newRow("web address") << QList<QUrl>{QUrl("https://example.org/A.themepack")}
                                 << QString();
}

void Form1Test::nonFileDropsAreRefused() {
    QFETCH(QList<QUrl>, urls);
    QFETCH(QString, text);
    ShellRecord record;
    TForm1 form(recordingServices(record));
    QSignalSpy runs(&form, &TForm1::extractionRunStarted);
    QMimeData data;
    if (!urls.isEmpty()) data.setUrls(urls);
    if (!text.isEmpty()) data.setText(text);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    QVERIFY(!enter.isAccepted());
    QDropEvent drop = makeDrop(data, form);
    QApplication::sendEvent(&form, &drop);
    QVERIFY(!drop.isAccepted());
    QCOMPARE(form.PackQueue()->Count(), size_t{0});
    QCOMPARE(runs.count(), 0);
}

void Form1Test::fullQueueStillStartsARun() {
    ShellRecord record;
    TForm1 form(recordingServices(record));
    QSignalSpy runs(&form, &TForm1::extractionRunStarted);
    QStringList packs;
    for (int i = 1; i <= 25; ++i) packs << QStringLiteral("/packs/Pack%1.themepack").arg(i);
    form.WMDropFiles(packs);
    QCOMPARE(form.PackQueue()->Count(), size_t{21});
    QCOMPARE(form.PackQueue()->Items().back(), std::u16string(u"/packs/Pack21.themepack"));
    form.WMDropFiles({QStringLiteral("/packs/Another.themepack")});
    QCOMPARE(form.PackQueue()->Count(), size_t{21});
    QCOMPARE(runs.count(), 2);
    // A drop with no theme pack at all starts a run too.
    form.WMDropFiles({QStringLiteral("/packs/readme.txt")});
    QCOMPARE(runs.count(), 3);
}

void Form1Test::spotlightWhileOneRunsIsIgnored() {
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    std::mutex gate;
    std::unique_lock hold(gate);  // the harvest blocks in its last step until released
    int opened = 0;
    TFormServices services;
    services.SpotlightFolders = [&] {
        return TSpotlightFolders{{scratch.filePath("cache").toStdU16String()},
                                 scratch.filePath("Spotlight").toStdU16String()};
    };
    services.ExploreFolder = [&](const std::u16string&) {
        std::lock_guard wait(gate);
        ++opened;
        return true;
    };
    TForm1 form(services);
    form.Spotlight1->trigger();
    QVERIFY(form.SpotlightRunner().Running());
    form.Spotlight1->trigger();
    form.Spotlight1->trigger();
    hold.unlock();
    form.SpotlightRunner().Wait();
    QCOMPARE(opened, 1);
    // Once it has ended, the next command harvests again.
    form.Spotlight1->trigger();
    form.SpotlightRunner().Wait();
    QCOMPARE(opened, 2);
}

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
