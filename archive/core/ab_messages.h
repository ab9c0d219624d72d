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
inline constexpr std::u16string_view AbCabinetChangedS =
    u"The cabinet file changed during extraction";

// Texts of plain EAbException / EAbCabException raised with a message of their own.
inline constexpr std::u16string_view AbLogCreateErrorS = u"Error creating Log File";
inline constexpr std::u16string_view AbPathNotFoundS = u"Path not found";
inline constexpr std::u16string_view AbCabNoStreamCreateS =
    u"TAbCabArchive does not support CreateFromStream";

// "not enough free space: needs N MB, M MB free" in three pieces around the figures.
inline constexpr std::u16string_view AbNotEnoughSpaceS = u"not enough free space: needs ";
inline constexpr std::u16string_view AbNotEnoughSpaceMiddleS = u" MB, ";
inline constexpr std::u16string_view AbNotEnoughSpaceEndS = u" MB free";
// What each error code of the cabinet library means, indexed by the code. A user reads these
// instead of a bare number.
inline constexpr std::u16string_view AbFdiErrorS[] = {
    u"No error",
    u"The cabinet file cannot be found or opened",
    u"The file is not a cabinet",
    u"The cabinet's format version is not supported",
    u"The cabinet is damaged: its data is corrupt",
    u"Not enough memory",
    u"The member is compressed with an unknown method",
    u"The member's compressed data cannot be decoded",
    u"The output file cannot be written",
    u"The cabinet's reserved areas differ from those of its set",
    u"The next cabinet does not belong to this set",
    u"Extraction was cancelled",
    u"The cabinet ends before its data does",
};
inline constexpr std::u16string_view AbFciErrorS[] = {
    u"No error",
    u"A file to be added cannot be opened",
    u"A file to be added cannot be read",
    u"Not enough memory",
    u"A temporary file cannot be created or written",
    u"The compression method is not supported",
    u"The cabinet file cannot be created or written",
    u"Cabinet creation was cancelled",
    u"The data cannot be compressed",
    u"The data is more than a cabinet can hold",
};
inline constexpr std::u16string_view AbUnknownCabinetErrorS =
    u"The cabinet library failed for an unknown reason, code ";
