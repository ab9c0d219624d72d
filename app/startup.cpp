#include "app/startup.h"

QIcon ProgramIcon() {
    QIcon icon;
    for (const char* size : {"-16", "-32", "-48", ""}) {
        icon.addFile(QStringLiteral(":/icons/MAINICON") + QLatin1String(size));
    }
    return icon;
}

std::unique_ptr<TForm1> StartPelmora(TFormServices services, const QString& styleName,
                                     const QString& styleCatalog) {
    RequestVisualStyle(styleName, styleCatalog);
    auto form = std::make_unique<TForm1>(std::move(services));
    form->setObjectName(QStringLiteral("Form1"));
    form->show();
    return form;
}
