// The program's start-up: the visual style first, then the main window, shown.
#pragma once

#include <QIcon>
#include <memory>

#include "app/form1.h"
#include "app/visual_style.h"

// The program's icon (MAINICON) in all its sizes.
QIcon ProgramIcon();

// Requests the style named `styleName` from `styleCatalog` (a failure shows its box and the
// program goes on in the default look), then creates and shows the main window.
std::unique_ptr<TForm1> StartPelmora(TFormServices services = {},
                                     const QString& styleName = kDefaultStyleName,
                                     const QString& styleCatalog = kStyleCatalog);
