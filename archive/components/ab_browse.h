// The browser component base: a non-visual component that owns at most one open archive,
// named by a file name, copies its settings into every archive it creates, and raises the
// archive's events again as its own. Also archive type detection.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archive/cab/ab_archive_type.h"
#include "archive/components/ab_component.h"

// The archive format a file holds: the asserted type, or the extension's hint when none is
// asserted, confirmed by the check that belongs to it; without any hint, every check in turn.
// A file that is missing or empty gets the hint unchecked. Raises the stream layer's
// "Cannot open file" error for a file that exists but cannot be read, EAbNoCabinetDll when
// the cabinet check needs the library and it cannot be loaded, and EAbDecompressionError for
// damaged data behind a gzip or bzip2 header.
TAbArchiveType DetectArchiveType(const std::u16string& FileName, TAbArchiveType AssertedType);

// The hint of a file name's extension (".ZIP", ".CAB", ...; any letter case).
TAbArchiveType ArchiveTypeOfExtension(const std::u16string& FileName);
