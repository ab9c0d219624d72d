#include <algorithm>

#include "archive/cab/ab_fci_fdi.h"
#include "archive/components/ab_archive_probes.h"
#include "archive/components/ab_browse.h"
#include "archive/core/ab_file_system.h"
#include "archive/core/ab_text.h"
#include "archive/core/ab_utils.h"

namespace {

using Type = TAbArchiveType;

}  // namespace

TAbArchiveType ArchiveTypeOfExtension(const std::u16string& FileName) {
    std::u16string name = NamePart(FileName, NativePathStyle);
    std::size_t dot = name.rfind(u'.');
    if (dot == std::u16string::npos) return Type::atUnknown;
    std::u16string extension = upperCaseAscii(std::u16string_view(name).substr(dot));
    static const std::pair<const char16_t*, Type> kHints[] = {
        {u".ZIP", Type::atZip}, {u".JAR", Type::atZip},   {u".EXE", Type::atSelfExtZip},
        {u".TAR", Type::atTar}, {u".GZ", Type::atGzip},   {u".TGZ", Type::atGzippedTar},
        {u".CAB", Type::atCab}, {u".BZ2", Type::atBzip2}, {u".TBZ", Type::atBzippedTar}};
    for (const auto& [text, type] : kHints) {
        if (extension == text) return type;
    }
    return Type::atUnknown;
}

TAbArchiveType DetectArchiveType(const std::u16string& FileName, TAbArchiveType AssertedType) {
    Type result = AssertedType;
    if (result == Type::atUnknown) result = ArchiveTypeOfExtension(FileName);
    // Without content to look at, the hint is all there is.
    if (!FileExists(FileName) || QueryFileSize(FileName) <= 0) return result;

    TFileStream stream(FileName, TFileOpenMode::ReadShareDenyNone);
    switch (result) {
        case Type::atUnknown:
            return SniffArchiveType(stream);
        case Type::atZip:
            return ProbeZip(stream);
        case Type::atSpannedZip:
            return result;
        case Type::atSelfExtZip:
            return ProbeSelfExtractingZip(stream);
        case Type::atTar:
            return ProbeTar(stream);
        case Type::atGzip:
        case Type::atGzippedTar:
            return ProbeGzip(stream);
        case Type::atCab:
            return pelmora::VerifyCabinet(stream);
        case Type::atBzip2:
        case Type::atBzippedTar:
            return ProbeBzip2(stream);
    }
    return Type::atUnknown;
}
