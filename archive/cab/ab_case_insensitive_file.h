// Cabinet sets made on Windows name their next cabinet in whatever letter case the maker
// typed, while the files on disk may be spelled otherwise. On a case-sensitive file system
// the library's opens would then miss a file that Windows would find.
#pragma once

#include <string>

namespace pelmora {

// fileName when it exists as spelled (or cannot be found at all); otherwise the existing
// file in the same folder whose name differs from it only in letter case. On Windows, whose
// file system already ignores case, fileName unchanged.
std::u16string findFileIgnoringCase(const std::u16string& fileName);

}  // namespace pelmora
