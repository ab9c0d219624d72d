// drag_files: a small window that, when the mouse button goes down on it, drags the files
// named on its command line as file URLs (the desktop's drag and drop, QDrag on X11). It
// prints "accepted" or "refused" once the drag has ended, and exits 0 or 1 a little later.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

class DragSource : public QWidget {
public:
    explicit DragSource(QList<QUrl> urls) : FUrls(std::move(urls)) {
        setWindowTitle(QStringLiteral("drag-files"));
        setGeometry(20, 20, 120, 60);
    }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* data = new QMimeData;
        data->setUrls(FUrls);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::puts(action == Qt::CopyAction ? "accepted" : "refused");
        std::fflush(stdout);
        // The target fetches the dropped data from this program after the drag has ended
        // here: stay a while to answer it.
        QTimer::singleShot(3000,
                           [action] { QApplication::exit(action == Qt::CopyAction ? 0 : 1); });
    }

private:
    QList<QUrl> FUrls;
};

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QList<QUrl> urls;
    for (const QString& path : QApplication::arguments().mid(1)) urls << QUrl::fromLocalFile(path);
    DragSource source(urls);
    source.show();
    return application.exec();
}
