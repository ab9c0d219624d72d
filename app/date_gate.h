// Whether the gallery link is offered: from September 2020 on, by the local calendar.
#pragma once

#include <QDateTime>

bool GalleryLinkVisible(const QDateTime& now);
