// The main window: a status label, a progress bar and a date-gated gallery link, a
// right-click menu with the folder shortcuts and the Spotlight harvest, and the drop target
// that admits theme packs into the pack queue.
#pragma once

#include <QDateTime>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/pack_queue.h"
#include "app/spotlight_harvest.h"

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
};

class TForm1 : public QWidget {
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

    // Handlers of the menu items and the link.
    void T1Click();
    void W1Click();
    void Label1Click();
    void Spotlight1Click();

    // A drop of local files, in the order the source lists them: each path goes through
    // Addtolst, then one extraction run starts.
    void WMDropFiles(const QStringList& paths);
    void Addtolst(const std::u16string& str);

    // Starts one extraction run over the pack queue; every drop ends here.
    void StartExtractionRun();

    // The pack queue, shared with extraction runs on worker threads.
    const std::shared_ptr<TPackQueue>& PackQueue() const { return lst; }
    TSpotlightRunner& SpotlightRunner() { return FSpotlight; }

signals:
    // Emitted by StartExtractionRun, once per run requested.
    void extractionRunStarted();

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

    TFormServices FServices;
    std::shared_ptr<TPackQueue> lst;        // the pack queue
    [[maybe_unused]] int32_t iPos = 0;      // the latest progress percentage of the extraction run
    [[maybe_unused]] std::u16string sName;  // base name of the pack being extracted
    TSpotlightRunner FSpotlight;
};
