// The window's visual styles: style sheets carried as resources, each naming its style in
// its first line ("/* Style: Windows10 Blue */").
#pragma once

#include <QString>

inline const QString kDefaultStyleName = QStringLiteral("Windows10 Blue");
// Where the program's own styles live (the resource WINDOWSBLUE among them).
inline const QString kStyleCatalog = QStringLiteral(":/styles");

// The style sheet of the style called `name` (letter case ignored) in `catalog`, or a null
// string when there is none.
QString FindStyleSheet(const QString& name, const QString& catalog = kStyleCatalog);

// Applies the named style to the whole application. When it cannot be found, shows the modal
// "Style '<name>' not found" box with a single Close button, and the program goes on in the
// default look. Call before the first window exists. Answers whether the style was applied.
bool RequestVisualStyle(const QString& name, const QString& catalog = kStyleCatalog);
