#include "app/date_gate.h"

bool GalleryLinkVisible(const QDateTime& now) {
    // The local year and month as one number, e.g. 202009 for September 2020.
    const QDate local = now.toLocalTime().date();
    const int yearMonth = local.year() * 100 + local.month();
    return yearMonth > 202008;
}
