// The fixed English texts of the archive errors.
#pragma once

#include <string_view>

inline constexpr std::u16string_view AbUserAbortS = u"Process aborted by user";
inline constexpr std::u16string_view AbArchiveBusyS =
    u"Archive is busy - cannot process new requests";
inline constexpr std::u16string_view AbNoSuchDirectoryS = u"Directory does not exist";
inline constexpr std::u16string_view AbFileNotFoundS = u"File not found";
inline constexpr std::u16string_view AbNoArchiveS = u"Archive does not exist - Filename is blank";
inline constexpr std::u16string_view AbSpanningNotSupportedS =
    u"Spanning not supported by this Archive type";
inline constexpr std::u16string_view AbNoCabinetDllS = u"Cannot load cabinet.dll";
inline constexpr std::u16string_view AbFCIFileOpenErrorS = u"FCI cannot open file";
inline constexpr std::u16string_view AbFCIFileReadErrorS = u"FCI cannot read file";
inline constexpr std::u16string_view AbFCIFileWriteErrorS = u"FCI cannot write file";
inline constexpr std::u16string_view AbFCIFileCloseErrorS = u"FCI close file error";
inline constexpr std::u16string_view AbFCIFileSeekErrorS = u"FCI file seek error";
inline constexpr std::u16string_view AbFCIFileDeleteErrorS = u"FCI file delete error";
inline constexpr std::u16string_view AbFCIAddFileErrorS = u"FCI cannot add file";
inline constexpr std::u16string_view AbFCICreateErrorS = u"FCI cannot create context";
inline constexpr std::u16string_view AbFCIFlushCabinetErrorS = u"FCI cannot flush cabinet";
inline constexpr std::u16string_view AbFCIFlushFolderErrorS = u"FCI cannot flush folder";
inline constexpr std::u16string_view AbFDICopyErrorS = u"FDI cannot enumerate files";
inline constexpr std::u16string_view AbFDICreateErrorS = u"FDI cannot create context";
inline constexpr std::u16string_view AbInvalidCabFileS = u"Invalid file - not a cabinet file";
inline constexpr std::u16string_view AbTarBadFileNameS = u"File name too long";
inline constexpr std::u16string_view AbTarBadLinkNameS = u"Symbolic link path too long";
inline constexpr std::u16string_view AbTarBadOpS = u"Unsupported Operation";
inline constexpr std::u16string_view AbUnsafeStoredNameS =
    u"Stored name leads outside the base directory";
inline constexpr std::u16string_view AbLinkInStoredPathS =
    u"Stored name passes through a symbolic link";

// Texts of plain EAbException / EAbCabException raised with a message of their own.
inline constexpr std::u16string_view AbLogCreateErrorS = u"Error creating Log File";
inline constexpr std::u16string_view AbPathNotFoundS = u"Path not found";
inline constexpr std::u16string_view AbCabNoStreamCreateS =
    u"TAbCabArchive does not support CreateFromStream";

// "not enough free space: needs N MB, M MB free" in three pieces around the figures.
inline constexpr std::u16string_view AbNotEnoughSpaceS = u"not enough free space: needs ";
inline constexpr std::u16string_view AbNotEnoughSpaceMiddleS = u" MB, ";
inline constexpr std::u16string_view AbNotEnoughSpaceEndS = u" MB free";
