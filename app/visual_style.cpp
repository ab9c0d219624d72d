#include "app/visual_style.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStyleFactory>

namespace {

QString declaredStyleName(const QString& styleSheet) {
    static const QRegularExpression declaration(
        QStringLiteral(R"(^\s*/\*\s*Style:\s*(.*?)\s*\*/)"));
    const auto match = declaration.match(styleSheet);
    return match.hasMatch() ? match.captured(1) : QString();
}

}  // namespace

QString FindStyleSheet(const QString& name, const QString& catalog) {
    const QDir folder(catalog);
    for (const QString& entry : folder.entryList(QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(entry));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QString styleSheet = QString::fromUtf8(file.readAll());
        if (declaredStyleName(styleSheet).compare(name, Qt::CaseInsensitive) == 0) {
            return styleSheet;
        }
    }
    return {};
}

bool RequestVisualStyle(const QString& name, const QString& catalog) {
    const QString styleSheet = FindStyleSheet(name, catalog);
    if (styleSheet.isNull()) {
        QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                        QStringLiteral("Style '%1' not found").arg(name), QMessageBox::Close);
        box.exec();
        return false;
    }
    // Fusion draws the same everywhere, so the sheet looks alike on every platform.
    if (QStyle* base = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(base);
    qApp->setStyleSheet(styleSheet);
    return true;
}
