// The visual style: found by name in any letter case, and when missing, one modal box with a
// single Close button before the window, which then opens in the default look.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/startup.h"

namespace {

// Watches for modal message boxes while the code under test runs and closes each one with
// its only button, noting what it saw.
class BoxCloser : public QObject {
public:
    BoxCloser() {
        connect(&timer_, &QTimer::timeout, this, [this] { closeVisibleBox(); });
        timer_.start(10);
    }
    int boxes = 0;
    QString text;
    QList<QAbstractButton*>::size_type buttonCount = 0;
    QMessageBox::StandardButton button = QMessageBox::NoButton;
    QString buttonText;
    bool windowExistedWhileBoxShown = false;

private:
    void closeVisibleBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        ++boxes;
        text = box->text();
        buttonCount = box->buttons().size();
        if (buttonCount > 0) {
            button = box->standardButton(box->buttons().first());
            buttonText = box->buttons().first()->text();
        }
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<TForm1*>(widget)) windowExistedWhileBoxShown = true;
        }
        box->buttons().first()->click();
    }
    QTimer timer_;
};

}  // namespace

class VisualStyleTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { qApp->setStyleSheet(QString()); }
    void carriedStyleIsFoundInAnyLetterCase_data();
    void carriedStyleIsFoundInAnyLetterCase();
    void styleIsLookedUpByTheNameItDeclares();
    void missingStyleShowsOneBoxBeforeTheWindow();
};

void VisualStyleTest::carriedStyleIsFoundInAnyLetterCase_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("as declared") << "Windows10 Blue";
    QTest::newRow("lower case") << "windows10 blue";
    QTest::newRow("upper case") << "WINDOWS10 BLUE";
}

void VisualStyleTest::carriedStyleIsFoundInAnyLetterCase() {
    QFETCH(QString, name);
    QVERIFY(QFile::exists(":/styles/WINDOWSBLUE"));
    BoxCloser closer;
    QVERIFY(RequestVisualStyle(name));
    QCOMPARE(closer.boxes, 0);
    QVERIFY(qApp->styleSheet().contains("QProgressBar#ProgressBar1"));
    QVERIFY(qApp->styleSheet().contains("QMenu::item"));
}

void VisualStyleTest::styleIsLookedUpByTheNameItDeclares() {
    QTemporaryDir catalog;
    QFile other(catalog.filePath("WINDOWSBLUE"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("/* Style: Carbon Dark */\nQWidget { color: white; }\n");
    other.close();
    QVERIFY(!FindStyleSheet("Carbon Dark", catalog.path()).isNull());
    QVERIFY(FindStyleSheet("Windows10 Blue", catalog.path()).isNull());
    QVERIFY(FindStyleSheet("WINDOWSBLUE", catalog.path()).isNull());
    QVERIFY(FindStyleSheet("Carbon", catalog.path()).isNull());
}

void VisualStyleTest::missingStyleShowsOneBoxBeforeTheWindow() {
    QTemporaryDir emptyCatalog;
    BoxCloser closer;
    TFormServices services;
    services.ExploreFolder = [](const std::u16string&) { return true; };
    services.ShellOpen = [](const std::u16string&) {};
    const auto form = StartPelmora(services, "Windows10 Blue", emptyCatalog.path());
    QCOMPARE(closer.boxes, 1);
    QCOMPARE(closer.text, QStringLiteral("Style 'Windows10 Blue' not found"));
    QCOMPARE(closer.buttonCount, 1);
    QCOMPARE(closer.button, QMessageBox::Close);
    QVERIFY(!closer.windowExistedWhileBoxShown);
    QVERIFY(form->isVisible());
    QVERIFY(qApp->styleSheet().isEmpty());
}

QTEST_MAIN(VisualStyleTest)
#include "visual_style_test.moc"
