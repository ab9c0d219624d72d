// The main window: a status label, a progress bar and a date-gated gallery link, a
// right-click menu with the folder shortcuts and the Spotlight harvest, and the drop target
// that admits theme packs into the pack queue.
#pragma once

#include <QDateTime>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/extraction_run.h"
#include "app/pack_queue.h"
#include "app/run_worker.h"
#include "app/spotlight_harvest.h"
#include "archive/components/ab_cab_extractor.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;

// The address the gallery link opens: Microsoft's own collection of free desktop themes.
inline constexpr char16_t kGalleryAddress[] =
    u"https://support.microsoft.com/windows/desktop-themes-94880287-6046-1d35-6d2f-35dee759701e";

// What the window asks of the world outside it; tests put doubles in their place.
struct TFormServices {
    std::function<QDateTime()> LocalClock = [] { return QDateTime::currentDateTime(); };
    std::function<bool(const std::u16string& folder)> ExploreFolder;  // empty: the system's
    std::function<void(const std::u16string& target)> ShellOpen;      // empty: the system's
    std::function<TSpotlightFolders()> SpotlightFolders = UserSpotlightFolders;
    // Whether drops start extraction runs; tests of the intake alone turn it off, so that
    // the queue they look at is not drained under them.
    bool RunExtractions = true;
};

class TForm1 : public QWidget, private IRunDisplay {
    Q_OBJECT

public:
    explicit TForm1(TFormServices services = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, named as in the window's layout.
    QFrame* spnl1 = nullptr;
    QLabel* lblDoExtract = nullptr;
    QFrame* pnl1 = nullptr;
    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QMenu* pm1 = nullptr;
    QAction* T1 = nullptr;
    QAction* W1 = nullptr;
    QAction* Spotlight1 = nullptr;
    // The one cabinet extractor; only the extraction run's worker uses it.
    std::unique_ptr<TAbCabExtractor> AbCabExtractor1;

    // Handlers of the menu items and the link.
    void T1Click();
    void W1Click();
    void Label1Click();
    void Spotlight1Click();

    // A drop of local files, in the order the source lists them: each path goes through
    // Addtolst, then one extraction run starts.
    void WMDropFiles(const QStringList& paths);
    void Addtolst(const std::u16string& str);

    // Starts one extraction run over the pack queue; every drop ends here. Runs are served
    // one after the other by the window's worker thread.
    void StartExtractionRun();
    // True while no extraction run is pending or running.
    bool ExtractionIdle() const { return FWorker->Idle(); }

    // The extraction run, on the worker thread.
    void DoExtract();
    // The extractor's progress handler, on the worker thread: hands the report to the window.
    void AbCabExtractor1ArchiveProgress(TComponent& Sender, uint8_t Progress, bool& Abort);
    // The extractor's item-failure handler, on the worker thread: the run notes the member,
    // and its pack ends as failed.
    void AbCabExtractor1ProcessItemFailure(TComponent& Sender, TAbArchiveItem* Item,
                                           TAbProcessType ProcessType, TAbErrorClass ErrorClass,
                                           int32_t ErrorCode);
    // Applies one report of the run to the progress bar and the status label (UI thread).
    void DoProgress(const TRunReport& report);

    // The pack queue, shared with extraction runs on worker threads.
    const std::shared_ptr<TPackQueue>& PackQueue() const { return lst; }
    TSpotlightRunner& SpotlightRunner() { return FSpotlight; }

signals:
    // Emitted by StartExtractionRun, once per run requested.
    void extractionRunStarted();
    // Emitted each time a report of the run has been applied, with the status label's text
    // then: the texts the user saw, one by one, however quickly they followed each other.
    void statusShown(const QString& text);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void buildControls();
    void buildMenu();
    void applyReport(const TRunReport& report);
    void showCompletion(const TPackFailures& failures);
    // Hands a report of the run to the UI thread; called on the worker thread.
    void Post(TRunReport report) override;
    // Applies the reports handed over so far, oldest first (UI thread).
    void applyPostedReports();

    TFormServices FServices;
    std::shared_ptr<TPackQueue> lst;  // the pack queue
    TSpotlightRunner FSpotlight;
    std::unique_ptr<TExtractionRun> FRun;
    std::unique_ptr<TRunWorker> FWorker;
    // Reports on their way from the worker to the UI thread, in the order they were made.
    std::mutex FReportsLock;
    std::deque<TRunReport> FReports;
};
