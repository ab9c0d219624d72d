// Windows: the environment gives each folder's root; an unset variable leaves the suffix
// alone, relative to the current drive's root.
#include "spotlight/spotlight_harvest.h"
#include "util/environment.h"

std::u16string SpotlightResultFolder() {
    return ReadEnvironment(u"USERPROFILE") + u"\\Pictures\\Spotlight";
}

std::u16string SystemMountTable() {
    return {};
}

std::vector<std::u16string> FindSpotlightCaches(const std::u16string&) {
    std::u16string cache =
        ReadEnvironment(u"LOCALAPPDATA") + u"\\" + kSpotlightCacheBelowLocalAppData;
    for (char16_t& c : cache) {
        if (c == u'/') c = u'\\';
    }
    return {cache};
}
