// The archive errors: one class per condition, each with a fixed code and message, and the
// classification of any caught error for the per-item failure event.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "util/errors.h"

// Every failure the archive code detects by itself. ErrorCode is 0 for an EAbException
// raised with a message of the caller's choosing.
class EAbException : public EGeneralError {
public:
    explicit EAbException(std::u16string message);
    int32_t ErrorCode = 0;

protected:
    EAbException(std::u16string message, int32_t errorCode);
};

// Cabinet conditions.
class EAbCabException : public EAbException {
public:
    using EAbException::EAbException;
};

// Tar conditions.
class EAbTarException : public EAbException {
public:
    using EAbException::EAbException;
};

// One concrete condition: parameterless constructor, fixed message and code.
#define PELMORA_AB_CONDITION(Name, Parent) \
    class Name : public Parent {           \
    public:                                \
        Name();                            \
    };

PELMORA_AB_CONDITION(EAbUserAbort, EAbException)                // 9
PELMORA_AB_CONDITION(EAbArchiveBusy, EAbException)              // 10
PELMORA_AB_CONDITION(EAbNoSuchDirectory, EAbException)          // 15
PELMORA_AB_CONDITION(EAbFileNotFound, EAbException)             // 21
PELMORA_AB_CONDITION(EAbNoArchive, EAbException)                // 23
PELMORA_AB_CONDITION(EAbSpanningNotSupported, EAbException)     // 29
PELMORA_AB_CONDITION(EAbNoCabinetDll, EAbCabException)          // 50
PELMORA_AB_CONDITION(EAbFCIFileOpenError, EAbCabException)      // 51
PELMORA_AB_CONDITION(EAbFCIFileReadError, EAbCabException)      // 52
PELMORA_AB_CONDITION(EAbFCIFileWriteError, EAbCabException)     // 53
PELMORA_AB_CONDITION(EAbFCIFileCloseError, EAbCabException)     // 54
PELMORA_AB_CONDITION(EAbFCIFileSeekError, EAbCabException)      // 55
PELMORA_AB_CONDITION(EAbFCIFileDeleteError, EAbCabException)    // 56
PELMORA_AB_CONDITION(EAbFCIAddFileError, EAbCabException)       // 57
PELMORA_AB_CONDITION(EAbFCICreateError, EAbCabException)        // 58
PELMORA_AB_CONDITION(EAbFCIFlushCabinetError, EAbCabException)  // 59
PELMORA_AB_CONDITION(EAbFCIFlushFolderError, EAbCabException)   // 60
PELMORA_AB_CONDITION(EAbFDICopyError, EAbCabException)          // 61
PELMORA_AB_CONDITION(EAbFDICreateError, EAbCabException)        // 62
PELMORA_AB_CONDITION(EAbInvalidCabFile, EAbCabException)        // 64
PELMORA_AB_CONDITION(EAbTarBadFileName, EAbTarException)        // 221
PELMORA_AB_CONDITION(EAbTarBadLinkName, EAbTarException)        // 222
PELMORA_AB_CONDITION(EAbTarBadOp, EAbTarException)              // 223
// A stored name that would put its member outside the base directory (a rooted name, a
// drive or UNC prefix, or a "." or ".." element): the member is not extracted.
PELMORA_AB_CONDITION(EAbUnsafeStoredName, EAbException)  // 300
// A stored name whose folders below the base directory pass through a symbolic link: the
// member would land wherever the link points, so it is not extracted.
PELMORA_AB_CONDITION(EAbLinkInStoredPath, EAbException)  // 301
// A cabinet opened again during a run is not the file the run began with: it was replaced
// or changed, so its members would not be the ones listed.
PELMORA_AB_CONDITION(EAbCabinetChanged, EAbCabException)  // 302

#undef PELMORA_AB_CONDITION

// "Process aborted by user" from a format engine's progress report. Deliberately not an
// EAbException: it classifies as ecOther.
class EAbAbortProgress : public EGeneralError {
public:
    EAbAbortProgress();
};

// The members chosen for extraction declare more bytes than the target's file system has
// free: the extraction is refused before anything is written. The figures are in MB of
// 1,048,576 bytes, the need rounded up and the free space down.
class EAbNotEnoughSpace : public EAbException {
public:
    EAbNotEnoughSpace(int64_t neededBytes, int64_t freeBytes);
};

// The kind of a failure reported per item.
enum TAbErrorClass : uint8_t {
    ecCorvana,
    ecInOutError,
    ecFilerError,
    ecFileCreateError,
    ecFileOpenError,
    ecCabError,
    ecOther
};

struct TAbErrorClassification {
    TAbErrorClass ErrorClass = ecOther;
    int32_t ErrorCode = 0;
    bool operator==(const TAbErrorClassification&) const = default;
};

// Classifies a caught error: archive errors by their code, operating-system errors by their
// error number, the stream failures by kind, anything else as (ecOther, 0).
TAbErrorClassification ConvertException(const std::exception& E);
// The same for whatever was caught, including objects that are not std::exception.
TAbErrorClassification ConvertException(std::exception_ptr E);

// An English sentence for an error code of the cabinet library's decompression side (FDI) and
// of its compression side (FCI); unknown codes are named with their number.
std::u16string FdiErrorMessage(int32_t ErrorCode);
std::u16string FciErrorMessage(int32_t ErrorCode);

// What a per-item failure reported as (ErrorClass, ErrorCode) means, in words a user reads.
std::u16string ItemFailureMessage(TAbErrorClass ErrorClass, int32_t ErrorCode);
// The same for a failure reported while its error is being handled (the archive reports an
// item failure from inside its handler, so std::current_exception() is at hand): that error's
// own message, which names the file and keeps the system's reason, when there is one.
std::u16string ItemFailureMessage(TAbErrorClass ErrorClass, int32_t ErrorCode,
                                  const std::exception_ptr& Live);
