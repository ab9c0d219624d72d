#include "app/form1.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>
#include <QUrl>

#include "app/date_gate.h"
#include "app/startup.h"
#include "app/system_folders.h"
#include "util/common_func.h"

namespace {

// The window's layout at 96 dots per inch; Qt scales it for denser screens.
constexpr QSize kClientSize(292, 123);
constexpr QRect kStatusPanel(0, 0, 292, 106);
constexpr QRect kStatusLabel(1, 40, 290, 13);
constexpr QRect kLinkPanel(0, 82, 292, 24);
constexpr QRect kLink(0, 0, 292, 19);
constexpr QRect kProgressBar(0, 106, 292, 17);
constexpr int kFontPixels = 11;

QFont pixelFont(const QString& family, bool bold) {
    QFont font(family);
    font.setPixelSize(kFontPixels);
    font.setBold(bold);
    return font;
}

// The local files of a drop, in the order the source lists them, with the platform's own
// separators; empty when the drop holds no local file.
QStringList localFiles(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) paths << QDir::toNativeSeparators(url.toLocalFile());
    }
    return paths;
}

TFolderOpener systemOr(TFolderOpener opener) {
    if (opener) return opener;
    return [](const std::u16string& folder) { return ExploreFolder(folder); };
}

}  // namespace

TForm1::TForm1(TFormServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      FServices(std::move(services)),
      FSpotlight(systemOr(FServices.ExploreFolder)) {
    if (!FServices.ExploreFolder) FServices.ExploreFolder = systemOr(nullptr);
    if (!FServices.ShellOpen) FServices.ShellOpen = [](const std::u16string& t) { ShellOpen(t); };
    buildControls();
    buildMenu();
    FormCreate();
}

TForm1::~TForm1() {
    FormDestroy();
}

void TForm1::buildControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Pelmora2.1"));
    setWindowIcon(ProgramIcon());
    setFont(pixelFont(QStringLiteral("Tahoma"), false));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFixedSize(kClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    spnl1 = new QFrame(this);
    spnl1->setObjectName(QStringLiteral("spnl1"));
    spnl1->setFrameShape(QFrame::NoFrame);
    spnl1->setGeometry(kStatusPanel);

    lblDoExtract = new QLabel(QStringLiteral(". . ."), spnl1);
    lblDoExtract->setObjectName(QStringLiteral("lblDoExtract"));
    lblDoExtract->setGeometry(kStatusLabel);
    lblDoExtract->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    pnl1 = new QFrame(spnl1);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    pnl1->setFrameShape(QFrame::NoFrame);
    pnl1->setGeometry(kLinkPanel);

    Label1 = new QLabel(QStringLiteral("1700+  Free Windows Themes"), pnl1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(kLink);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(pixelFont(QStringLiteral("Segoe Print"), true));
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->installEventFilter(this);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(kProgressBar);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
}

void TForm1::buildMenu() {
    pm1 = new QMenu(this);
    pm1->setObjectName(QStringLiteral("pm1"));
    T1 = pm1->addAction(QStringLiteral("Themes"), this, &TForm1::T1Click);
    T1->setObjectName(QStringLiteral("T1"));
    W1 = pm1->addAction(QStringLiteral("Wallpaper"), this, &TForm1::W1Click);
    W1->setObjectName(QStringLiteral("W1"));
    Spotlight1 = pm1->addAction(QStringLiteral("Spotlight"), this, &TForm1::Spotlight1Click);
    Spotlight1->setObjectName(QStringLiteral("Spotlight1"));
}

void TForm1::FormCreate() {
    setAcceptDrops(true);
    lst = std::make_shared<TPackQueue>();
    AbCabExtractor1 = std::make_unique<TAbCabExtractor>(nullptr);
    AbCabExtractor1->SetName(u"AbCabExtractor1");
    AbCabExtractor1->SetOnArchiveProgress(
        [this](TComponent& Sender, uint8_t Progress, bool& Abort) {
            AbCabExtractor1ArchiveProgress(Sender, Progress, Abort);
        });
    AbCabExtractor1->SetOnProcessItemFailure([this](TComponent& Sender, TAbArchiveItem* Item,
                                                    TAbProcessType ProcessType,
                                                    TAbErrorClass ErrorClass, int32_t ErrorCode) {
        AbCabExtractor1ProcessItemFailure(Sender, Item, ProcessType, ErrorClass, ErrorCode);
    });
    FRun =
        std::make_unique<TExtractionRun>(*lst, *AbCabExtractor1, static_cast<IRunDisplay&>(*this),
                                         [this] { return FWorker->StopRequested(); });
    FWorker = std::make_unique<TRunWorker>([this] { DoExtract(); });
    lblDoExtract->setAlignment(Qt::AlignCenter);
    lblDoExtract->resize(spnl1->width(), lblDoExtract->height());
    pnl1->setVisible(GalleryLinkVisible(FServices.LocalClock()));
}

void TForm1::FormDestroy() {
    setAcceptDrops(false);
    // The pack in hand is aborted at its next progress report and the worker ends; reports
    // already posted die with the window, which drops queued calls to a destroyed object.
    FWorker->Stop();
    // Releasing the last pack's archive reports 0% once more: nobody must hear it.
    AbCabExtractor1->SetOnArchiveProgress({});
    AbCabExtractor1->SetOnProcessItemFailure({});
    AbCabExtractor1.reset();
    FRun.reset();
    lst->Clear();
    lst.reset();
}

void TForm1::T1Click() {
    FServices.ExploreFolder(ThemesFolder());
}

void TForm1::W1Click() {
    FServices.ExploreFolder(WallpaperFolder());
}

void TForm1::Label1Click() {
    FServices.ShellOpen(kGalleryAddress);
}

void TForm1::Spotlight1Click() {
    // A harvest already in progress covers this request too.
    FSpotlight.Start(FServices.SpotlightFolders());
}

void TForm1::WMDropFiles(const QStringList& paths) {
    for (const QString& path : paths) Addtolst(path.toStdU16String());
    StartExtractionRun();
}

void TForm1::Addtolst(const std::u16string& str) {
    lst->Addtolst(str);
}

void TForm1::StartExtractionRun() {
    if (FServices.RunExtractions) FWorker->Request();
    emit extractionRunStarted();
}

void TForm1::DoExtract() {
    FRun->DoExtract();
}

void TForm1::AbCabExtractor1ArchiveProgress(TComponent& /*Sender*/, uint8_t Progress, bool& Abort) {
    FRun->ArchiveProgress(Progress, Abort);
}

void TForm1::AbCabExtractor1ProcessItemFailure(TComponent& /*Sender*/, TAbArchiveItem* Item,
                                               TAbProcessType /*ProcessType*/,
                                               TAbErrorClass ErrorClass, int32_t ErrorCode) {
    FRun->ProcessItemFailure(Item, ErrorClass, ErrorCode);
}

void TForm1::Post(TRunReport report) {
    {
        std::lock_guard lock(FReportsLock);
        FReports.push_back(std::move(report));
    }
    // Queued calls run on the UI thread and die with the window; each applies whatever has
    // arrived by then, so the reports keep their order whichever call finds them.
    QMetaObject::invokeMethod(this, &TForm1::applyPostedReports, Qt::QueuedConnection);
}

void TForm1::applyPostedReports() {
    for (;;) {
        TRunReport report;
        {
            std::lock_guard lock(FReportsLock);
            if (FReports.empty()) return;
            report = std::move(FReports.front());
            FReports.pop_front();
        }
        DoProgress(report);
    }
}

void TForm1::DoProgress(const TRunReport& report) {
    applyReport(report);
    emit statusShown(lblDoExtract->text());
}

void TForm1::applyReport(const TRunReport& report) {
    lblDoExtract->setToolTip(QString());
    switch (report.Kind) {
        case TRunReport::TKind::rkReset:
            lblDoExtract->clear();
            ProgressBar1->setValue(0);
            return;
        case TRunReport::TKind::rkProgress:
            ProgressBar1->setValue(report.Progress);
            lblDoExtract->setText(
                QString::fromStdU16String(StatusText::Progress(report.Name, report.Progress)));
            break;
        case TRunReport::TKind::rkPackDone:
            if (report.Failed) {
                lblDoExtract->setText(QString::fromStdU16String(StatusText::Failed(report.Name)));
            }
            break;
    }
    if (report.QueueDrained) {
        showCompletion(report.Failures);
        // Once the queue is done the bar is full, also when its last pack failed.
        ProgressBar1->setValue(100);
    }
}

void TForm1::showCompletion(const TPackFailures& failures) {
    const size_t failed = failures ? failures->size() : 0;
    lblDoExtract->setText(QString::fromStdU16String(StatusText::Complete(failed)));
    if (failed) {
        lblDoExtract->setToolTip(QString::fromStdU16String(StatusText::FailureList(*failures)));
    }
}

void TForm1::contextMenuEvent(QContextMenuEvent* event) {
    pm1->popup(event->globalPos());
    event->accept();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TForm1::dropEvent(QDropEvent* event) {
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    WMDropFiles(paths);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            Label1->rect().contains(mouse->position().toPoint())) {
            Label1Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
