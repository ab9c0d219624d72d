/* Pelmora's cabinet library: the FDI (decompression) and FCI (compression) interface.
 *
 * This header is the library's whole contract. The entry points, records, callbacks and values
 * follow the published contract of the platform's cabinet library, so that a program bound to
 * one by name can use the other; where that contract leaves a choice open, what is written here
 * is what this library does.
 *
 * General rules:
 *  - Handles are pointer-sized integers chosen by the caller's open callbacks; -1 is a failed
 *    open. The library never interprets a handle, it only passes it back to the callbacks.
 *  - All memory comes from the caller's alloc/free callbacks and all file access goes through
 *    its file callbacks: the library touches no file system and keeps no global state.
 *  - No C++ exception ever leaves the library; every failure is a return value.
 *  - Entry points answer a CabBool: nonzero for success, 0 for failure. On failure the error
 *    record given to FDICreate / FCICreate holds the reason (see CabErrorRecord).
 *  - Threading: a context (FDIContext, FCIContext) belongs to one thread at a time; it has no
 *    lock. Different contexts share nothing and may be used at once from different threads.
 *    The callbacks run on the calling thread, inside the entry point that calls them.
 *  - Strings handed to callbacks live in the library's buffers and stay valid only until the
 *    callback returns, unless said otherwise.
 */
#ifndef PELMORA_CABINET_H
#define PELMORA_CABINET_H

#include <stdint.h>

#include "cabinet_version.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define CABINET_API __declspec(dllexport)
#define CABINET_CC __cdecl
#else
#define CABINET_API __attribute__((visibility("default")))
#define CABINET_CC
#endif

typedef intptr_t CabHandle; /* INT_PTR: a file handle chosen by the caller */
typedef int CabBool;        /* 32-bit Boolean, nonzero = true */

/* Error record (ERF). The caller owns it; the context keeps a pointer to it from FDICreate /
 * FCICreate until FDIDestroy / FCIDestroy, so it must outlive the context.
 *   ErrorCode     FDIERROR_* (FDI) or FCIERR_* (FCI) of the last call that failed
 *   ErrorType     a secondary value: for FCI, the `err` its callback stored when a callback's
 *                 failure is the reason (FCIERR_OPEN_SRC, _READ_SRC, _TEMP_FILE, _CAB_FILE);
 *                 otherwise 0. FDI always stores 0.
 *   ErrorPresent  nonzero when ErrorCode holds a failure
 * See each entry point for when the record is cleared and when it is left untouched. */
typedef struct CabErrorRecord {
    int ErrorCode; /* FDIERROR_* or FCIERR_* */
    int ErrorType; /* secondary value: the callback's error, when one applies */
    CabBool ErrorPresent;
} CabErrorRecord;

/* FDI error codes. */
enum {
    FDIERROR_NONE = 0,
    FDIERROR_CABINET_NOT_FOUND = 1,
    FDIERROR_NOT_A_CABINET = 2,
    FDIERROR_UNKNOWN_CABINET_VERSION = 3,
    FDIERROR_CORRUPT_CABINET = 4,
    FDIERROR_ALLOC_FAIL = 5,
    FDIERROR_BAD_COMPR_TYPE = 6,
    FDIERROR_MDI_FAIL = 7,
    FDIERROR_TARGET_FILE = 8,
    FDIERROR_RESERVE_MISMATCH = 9,
    FDIERROR_WRONG_CABINET = 10,
    FDIERROR_USER_ABORT = 11,
    FDIERROR_EOF = 12
};

/* FCI error codes. */
enum {
    FCIERR_NONE = 0,
    FCIERR_OPEN_SRC = 1,
    FCIERR_READ_SRC = 2,
    FCIERR_ALLOC_FAIL = 3,
    FCIERR_TEMP_FILE = 4,
    FCIERR_BAD_COMPR_TYPE = 5,
    FCIERR_CAB_FILE = 6,
    FCIERR_USER_ABORT = 7,
    FCIERR_MCI_FAIL = 8,
    FCIERR_CAB_FORMAT_LIMIT = 9
};

/* Processor type handed to FDICreate; the library ignores it. */
enum { cpuUNKNOWN = -1, cpu80286 = 0, cpu80386 = 1 };

/* Compression type codes (TCOMP): the type in the low nibble, parameters above it. */
enum {
    tcompMASK_TYPE = 0x000F,
    tcompTYPE_NONE = 0x0000,
    tcompTYPE_MSZIP = 0x0001,
    tcompTYPE_QUANTUM = 0x0002,
    tcompTYPE_LZX = 0x0003,
    tcompBAD = 0x000F,
    tcompMASK_LZX_WINDOW = 0x1F00,
    tcompLZX_WINDOW_LO = 0x0F00,
    tcompLZX_WINDOW_HI = 0x1500,
    tcompSHIFT_LZX_WINDOW = 8,
    tcompMASK_QUANTUM_LEVEL = 0x00F0,
    tcompSHIFT_QUANTUM_LEVEL = 4,
    tcompMASK_QUANTUM_MEM = 0x1F00,
    tcompSHIFT_QUANTUM_MEM = 8
};
typedef unsigned short TCOMP;

/* Member attribute bits as stored in a cabinet. */
enum {
    CAB_ATTRIB_READONLY = 0x01,
    CAB_ATTRIB_HIDDEN = 0x02,
    CAB_ATTRIB_SYSTEM = 0x04,
    CAB_ATTRIB_ARCHIVE = 0x20,
    CAB_ATTRIB_EXECUTE = 0x40,
    CAB_ATTRIB_NAME_IS_UTF = 0x80
};

/* ---- FDI: decompression ---------------------------------------------------------------- */

typedef void* FDIContext; /* HFDI */

/* FDI callbacks (all required). They follow the C runtime's conventions:
 *   alloc   a block of `size` bytes, or null when none is left (the call fails with
 *           FDIERROR_ALLOC_FAIL); free takes back every block alloc gave, by FDIDestroy at the
 *           latest.
 *   open    opens `name` with CAB_O_* flags and CAB_S_* mode; answers a handle or -1. The
 *           library opens cabinets with CAB_O_RDONLY | CAB_O_BINARY and closes each one itself
 *           before FDICopy returns. It never opens a member's output file: the notification
 *           handler does that.
 *   read    up to `count` bytes; the number read, 0 at the end, or UINT32_MAX (-1) on error.
 *   write   `count` bytes; the number written, anything else than `count` is a failure.
 *   close   0 on success, -1 on failure.
 *   seek    moves to `offset` from origin 0 (start), 1 (current) or 2 (end); answers the new
 *           position, or -1 on failure. */
typedef void*(CABINET_CC* FdiAllocFn)(uint32_t size);
typedef void(CABINET_CC* FdiFreeFn)(void* block);
typedef CabHandle(CABINET_CC* FdiOpenFn)(char* name, int flags, int mode);
typedef uint32_t(CABINET_CC* FdiReadFn)(CabHandle handle, void* buffer, uint32_t count);
typedef uint32_t(CABINET_CC* FdiWriteFn)(CabHandle handle, void* buffer, uint32_t count);
typedef int(CABINET_CC* FdiCloseFn)(CabHandle handle);
typedef int32_t(CABINET_CC* FdiSeekFn)(CabHandle handle, int32_t offset, int origin);

/* FDICABINETINFO */
typedef struct FDICabInfo {
    int32_t cbCabinet;
    unsigned short cFolders;
    unsigned short cFiles;
    unsigned short setID;
    unsigned short iCabinet;
    CabBool fReserve;
    CabBool hasprev;
    CabBool hasnext;
} FDICabInfo;

typedef enum FDINotificationType {
    fdintCABINET_INFO = 0,
    fdintPARTIAL_FILE = 1,
    fdintCOPY_FILE = 2,
    fdintCLOSE_FILE_INFO = 3,
    fdintNEXT_CABINET = 4,
    fdintENUMERATE = 5
} FDINotificationType;

/* FDINOTIFICATION: what each notification carries, and what the handler's answer means.
 * Every notification carries pv = the `user` pointer given to FDICopy. An answer of -1 to any
 * notification ends FDICopy with FDIERROR_USER_ABORT.
 *   CABINET_INFO    a cabinet was opened (the one FDICopy was called for, then each next
 *                   cabinet a member runs on into). psz1 next cabinet's name, psz2 next disk,
 *                   psz3 the cabinet path, setID, iCabinet. Any answer but -1 goes on.
 *   PARTIAL_FILE    a member that began in an earlier cabinet of the set: it cannot be
 *                   extracted from here. psz1 member name, psz2 first cabinet, psz3 first disk.
 *                   Any answer but -1 goes on to the next member.
 *   COPY_FILE       a member is offered. psz1 member name, cb size, date, time, attribs,
 *                   iFolder. Answer 0 to skip it (nothing is decoded for it), or an open handle
 *                   that the library only ever writes the member's bytes to.
 *   CLOSE_FILE_INFO the member was written whole to hf, the handle answered to COPY_FILE.
 *                   psz1 member name, hf, date, time, attribs, cb = 1 when the member is to be
 *                   run. The handler closes hf (and may set the file's date and attributes).
 *                   A nonzero answer (but -1) means success; 0 means the handler could not
 *                   finish the file, and FDICopy fails with FDIERROR_TARGET_FILE.
 *   NEXT_CABINET    the member goes on in the next cabinet of the set. psz1 next cabinet's
 *                   name, psz2 next disk, psz3 the cabinet path: the handler may rewrite psz3
 *                   (at most 256 bytes with its zero) to say where to look; psz1 is only
 *                   information. fdie is 0 on the first request and the reason the last
 *                   attempt failed on a repeated one. Any answer but -1 makes the library
 *                   try psz3 + psz1 (again).
 * If FDICopy fails while a member is being written (after COPY_FILE, before CLOSE_FILE_INFO),
 * no CLOSE_FILE_INFO comes: the handler closes that handle itself. */
typedef struct FDINotification {
    int32_t cb;
    char* psz1;
    char* psz2;
    char* psz3;
    void* pv;
    CabHandle hf;
    unsigned short date;
    unsigned short time;
    unsigned short attribs;
    unsigned short setID;
    unsigned short iCabinet;
    unsigned short iFolder;
    int fdie;
} FDINotification;

typedef CabHandle(CABINET_CC* FdiNotifyFn)(FDINotificationType type, FDINotification* notification);
typedef int(CABINET_CC* FdiDecryptFn)(void* decrypt); /* never called: pass null */

/* FDICreate makes a decompression context. Every callback is required; cpuType is ignored
 * (pass cpuUNKNOWN). `error` may be null, in which case failures are told by return values
 * only; otherwise it is kept for every later call on the context (it must outlive it).
 * Answers the context, or null: a missing callback or memory that alloc refused, both told as
 * FDIERROR_ALLOC_FAIL. On success the record is cleared. The context holds about 1 MB of
 * buffers from alloc. */
CABINET_API FDIContext CABINET_CC FDICreate(FdiAllocFn alloc, FdiFreeFn free, FdiOpenFn open,
                                            FdiReadFn read, FdiWriteFn write, FdiCloseFn close,
                                            FdiSeekFn seek, int cpuType, CabErrorRecord* error);

/* FDIIsCabinet seeks the open file `handle` to its start, reads the cabinet's fixed header and
 * fills `info`; it neither closes the file nor restores its position. Answers nonzero for a
 * cabinet (the record cleared), 0 for a file that is not one: FDIERROR_NOT_A_CABINET, or
 * FDIERROR_UNKNOWN_CABINET_VERSION for a cabinet of a format version this library does not
 * read. A file that cannot be read or sought counts as not a cabinet. */
CABINET_API CabBool CABINET_CC FDIIsCabinet(FDIContext context, CabHandle handle, FDICabInfo* info);

/* FDICopy opens cabinetPath + cabinetName (the two are joined as they are: the path ends with
 * its separator; a null path is empty) and offers its members to `notify` in stored order, as
 * told at FDINOTIFICATION. `flags` and `decrypt` are ignored. A member that runs on into later
 * cabinets is followed there through fdintNEXT_CABINET; a next cabinet that cannot be opened
 * or is not the right one is asked for again a few times (8) at most, then FDICopy fails with
 * the reason of the last attempt (FDIERROR_CABINET_NOT_FOUND, _NOT_A_CABINET,
 * _WRONG_CABINET, ...).
 * Answers nonzero when every member was offered and every accepted member written; the record
 * is then cleared. On failure the record holds the reason: FDIERROR_CABINET_NOT_FOUND also for
 * a null name or handler and for a name or path longer than 256 bytes, FDIERROR_CORRUPT_CABINET
 * for damaged data (a checksum that does not match, a block that does not decode, a member
 * that runs past its folder), FDIERROR_TARGET_FILE for a short write or a 0 answer to
 * fdintCLOSE_FILE_INFO, FDIERROR_USER_ABORT for an answer of -1.
 * The context keeps its decoding position between calls, so a later call over the same,
 * unchanged cabinet that wants a member further on in the same folder continues there
 * instead of decoding the folder again: extracting one member per call stays linear.
 * Re-entrancy: while FDICopy runs, FDICopy, FDIIsCabinet and FDIDestroy on the same context
 * (from the handler) are refused: they answer 0 and leave the record untouched. */
CABINET_API CabBool CABINET_CC FDICopy(FDIContext context, char* cabinetName, char* cabinetPath,
                                       int flags, FdiNotifyFn notify, FdiDecryptFn decrypt,
                                       void* user);

/* FDIDestroy gives back every block of the context to free. Answers 0, and does nothing, for
 * an invalid context or inside FDICopy on that context. */
CABINET_API CabBool CABINET_CC FDIDestroy(FDIContext context);

/* An FDI entry point handed a null context (or a pointer that is not an FDI context), or a
 * null `info`, answers 0 and leaves the record untouched. A destroyed context must not be
 * passed again. */

/* ---- FCI: compression ------------------------------------------------------------------ */

#define CAB_MAX_NAME 256

/* CCAB: the cabinet parameters. FCICreate refuses, with FCIERR_CAB_FORMAT_LIMIT, reserve
 * sizes above their limits, an empty szCab and a name field without its zero. The library
 * keeps its own copy; get-next-cabinet receives it
 * with iCab already counted up and fills in the next cabinet's szCab (and szDisk, szCabPath and
 * cb when they change); the reserve sizes, setID and cbFolderThresh stay those of FCICreate. */
typedef struct FCICabInfo {
    uint32_t cb;                    /* largest cabinet size in bytes; 0 = no limit (2 GB at most) */
    uint32_t cbFolderThresh;        /* a folder is closed once it holds this much compressed data
                                       (checked between members); 0 = no threshold */
    unsigned int cbReserveCFHeader; /* at most 60000 */
    unsigned int cbReserveCFFolder; /* at most 255 */
    unsigned int cbReserveCFData;   /* at most 255 */
    int iCab;                       /* the cabinet's number, 1 for the first of a set */
    int iDisk;
    int fFailOnIncompressible; /* fail (FCIERR_MCI_FAIL) when a compressed block does not shrink */
    unsigned short setID;
    char szDisk[CAB_MAX_NAME];
    char szCab[CAB_MAX_NAME];
    char szCabPath[CAB_MAX_NAME];
} FCICabInfo;

typedef void* FCIContext; /* HFCI */

/* FCI callbacks. Every callback receives the `user` pointer given to FCICreate. The file
 * callbacks follow the C runtime's conventions like the FDI ones (read/write answer the count
 * or UINT32_MAX, close/seek/delete answer -1 on failure) and, on failure, may store a reason in
 * *err, which the library copies to the record's ErrorType.
 *   filePlaced   (may be null) called once per member as its cabinet is written: the cabinet's
 *                parameters, the member's stored name, its size, and whether it is the part of
 *                a member continued from the previous cabinet. -1 aborts with
 *                FCIERR_USER_ABORT; any other answer goes on.
 *   alloc/free   as for FDI; every block is given back by FCIDestroy at the latest.
 *   open         opens cabinets (CAB_O_RDWR | CAB_O_CREAT | CAB_O_TRUNC | CAB_O_BINARY) and
 *                temporary files (with CAB_O_EXCL instead of CAB_O_TRUNC); the library closes
 *                every file it opens. A cabinet that could not be written whole is deleted.
 *   delete       removes a file by name: temporary files, and a half-written cabinet.
 *   tempFile     writes a new temporary file name (at most `size` bytes with its zero) into
 *                `buffer`; 0 means none can be had (FCIERR_TEMP_FILE). The library opens,
 *                closes and deletes the files itself.
 *   getNextCabinet  (FCIAddFile / FCIFlush*) a set needs one more cabinet: fill in its name
 *                as told at FCICabInfo; `previousSize` is the size of the cabinet being
 *                finished. 0 aborts with FCIERR_USER_ABORT. When null, a cabinet that would
 *                need a next one fails with FCIERR_CAB_FORMAT_LIMIT. A next cabinet with no
 *                name, or the name and path of the current one, fails with FCIERR_CAB_FILE.
 *   status       (may be null) progress, as told below; -1 aborts with FCIERR_USER_ABORT.
 *   getOpenInfo  (FCIAddFile) opens the source file `name` for reading and fills its DOS
 *                date, time and attribute bits; answers the handle, or -1 (FCIERR_OPEN_SRC,
 *                *err in ErrorType). The library seeks and reads that handle and closes it
 *                with the close callback before FCIAddFile returns, success or failure.
 *
 * Status types handed to the status callback:
 *   statusFile     per data block compressed: cb1 its compressed, cb2 its uncompressed size
 *   statusFolder   per folder completed: cb1 = cb2 = the folder's data bytes in the set
 *   statusCabinet  per cabinet written: cb1 = cb2 = its size in bytes
 * An answer of -1 aborts the call with FCIERR_USER_ABORT. */
enum { statusFile = 0, statusFolder = 1, statusCabinet = 2 };

typedef int(CABINET_CC* FciFilePlacedFn)(FCICabInfo* cabInfo, char* name, int32_t size,
                                         CabBool continuation, void* user);
typedef void*(CABINET_CC* FciAllocFn)(uint32_t size);
typedef void(CABINET_CC* FciFreeFn)(void* block);
typedef CabHandle(CABINET_CC* FciOpenFn)(char* name, int flags, int mode, int* err, void* user);
typedef uint32_t(CABINET_CC* FciReadFn)(CabHandle handle, void* buffer, uint32_t count, int* err,
                                        void* user);
typedef uint32_t(CABINET_CC* FciWriteFn)(CabHandle handle, void* buffer, uint32_t count, int* err,
                                         void* user);
typedef int(CABINET_CC* FciCloseFn)(CabHandle handle, int* err, void* user);
typedef int32_t(CABINET_CC* FciSeekFn)(CabHandle handle, int32_t offset, int origin, int* err,
                                       void* user);
typedef int(CABINET_CC* FciDeleteFn)(char* name, int* err, void* user);
typedef CabBool(CABINET_CC* FciGetTempFileFn)(char* buffer, int size, void* user);

typedef CabBool(CABINET_CC* FciGetNextCabinetFn)(FCICabInfo* cabInfo, uint32_t previousSize,
                                                 void* user);
typedef int32_t(CABINET_CC* FciStatusFn)(unsigned int type, uint32_t cb1, uint32_t cb2, void* user);
typedef CabHandle(CABINET_CC* FciGetOpenInfoFn)(char* name, unsigned short* date,
                                                unsigned short* time, unsigned short* attribs,
                                                int* err, void* user);

/* Open flags the library hands to the open callbacks (the C runtime's values). */
enum {
    CAB_O_RDONLY = 0x0000,
    CAB_O_WRONLY = 0x0001,
    CAB_O_RDWR = 0x0002,
    CAB_O_CREAT = 0x0100,
    CAB_O_TRUNC = 0x0200,
    CAB_O_EXCL = 0x0400,
    CAB_O_BINARY = 0x8000
};
enum { CAB_S_IREAD = 0x0100, CAB_S_IWRITE = 0x0080 };

/* FCICreate makes a compression context that writes the cabinet (or set) described by
 * `cabInfo`. `error` is required (null answers null and reports nothing) and kept for every
 * later call; it is cleared first. filePlaced may be null; every other callback is required.
 * Answers the context, or null with the reason: FCIERR_ALLOC_FAIL (alloc/free missing, or
 * memory refused), FCIERR_TEMP_FILE (a file callback missing, or the temporary files could
 * not be made), FCIERR_CAB_FORMAT_LIMIT (cabInfo null or refused, see FCICabInfo). The
 * context makes its temporary files at once.
 *
 * For every FCI entry point: a null context (or a pointer that is not an FCI context) answers
 * 0 and leaves the record untouched. Otherwise the call clears the record and, on failure,
 * fills it. A failure while a member is read and compressed, or while a folder or a cabinet is
 * finished and written (a callback's failure, an abort, a limit met), leaves the folder or
 * cabinet half written and the context unusable: every later FCIAddFile / FCIFlushFolder /
 * FCIFlushCabinet fails again with the same record; only FCIDestroy is left. A call refused
 * before that (its arguments, getOpenInfo's -1, a source that cannot be sought or is too
 * large, a compressor that cannot be had) leaves the context usable.
 * Re-entrancy: the library does not detect calls on a context from inside its own callbacks;
 * a callback must not call an FCI entry point on the context that called it. */
CABINET_API FCIContext CABINET_CC FCICreate(CabErrorRecord* error, FciFilePlacedFn filePlaced,
                                            FciAllocFn alloc, FciFreeFn free, FciOpenFn open,
                                            FciReadFn read, FciWriteFn write, FciCloseFn close,
                                            FciSeekFn seek, FciDeleteFn remove,
                                            FciGetTempFileFn tempFile, FCICabInfo* cabInfo,
                                            void* user);

/* FCIAddFile adds the file `sourceName` (opened by getOpenInfo) as member `storedName` (1 to
 * 255 bytes), compressed with `compression`: tcompTYPE_NONE, tcompTYPE_MSZIP, or
 * tcompTYPE_LZX with a window of 2^15 to 2^21 (tcompLZX_WINDOW_LO..HI). `execute` sets
 * CAB_ATTRIB_EXECUTE. The member joins the open folder, unless the compression differs, the
 * folder would grow past its limits, or the cabinet's size limit needs a new folder: then the
 * open folder is finished first (and may be placed into a cabinet, calling getNextCabinet,
 * status and filePlaced). A folder that reached cbFolderThresh is finished after the member.
 * Refusals before anything is opened: FCIERR_OPEN_SRC (null names or getOpenInfo),
 * FCIERR_CAB_FORMAT_LIMIT (stored name empty or too long), FCIERR_BAD_COMPR_TYPE. Other
 * failures: FCIERR_OPEN_SRC (getOpenInfo answered -1), FCIERR_READ_SRC (the source cannot be
 * sought, read or closed), FCIERR_CAB_FORMAT_LIMIT (a source larger than a folder may hold,
 * 0x7FFF8000 bytes, or a folder or cabinet full), FCIERR_MCI_FAIL (fFailOnIncompressible and a
 * block that did not shrink), FCIERR_TEMP_FILE, FCIERR_ALLOC_FAIL, FCIERR_USER_ABORT. */
CABINET_API CabBool CABINET_CC FCIAddFile(FCIContext context, char* sourceName, char* storedName,
                                          CabBool execute, FciGetNextCabinetFn getNextCabinet,
                                          FciStatusFn status, FciGetOpenInfoFn getOpenInfo,
                                          TCOMP compression);

/* FCIFlushCabinet finishes the open folder and writes out the current cabinet, through the open
 * callback at szCabPath + szCab, then calls status(statusCabinet). With `getNextCabinet`
 * nonzero the cabinet is marked as continued by a next one, which `nextCabinet` names; the
 * context then goes on with that cabinet. When nothing was added since the last cabinet was
 * written, no empty cabinet is written. Fails with FCIERR_CAB_FILE when the cabinet cannot
 * be created or written (the half-written file is deleted), FCIERR_USER_ABORT, or any failure
 * of finishing the folder. */
CABINET_API CabBool CABINET_CC FCIFlushCabinet(FCIContext context, CabBool getNextCabinet,
                                               FciGetNextCabinetFn nextCabinet, FciStatusFn status);

/* FCIFlushFolder finishes the open folder (if any) so that the next member starts a new one,
 * then calls status(statusFolder). The folder may have to be laid out over cabinets of a
 * set, calling getNextCabinet. Failures as for FCIAddFile. */
CABINET_API CabBool CABINET_CC FCIFlushFolder(FCIContext context,
                                              FciGetNextCabinetFn getNextCabinet,
                                              FciStatusFn status);

/* FCIDestroy closes and deletes the context's temporary files and gives back its memory. It
 * writes nothing: members added since the last FCIFlushCabinet are lost. Answers 0 for an
 * invalid context, or when a temporary file could not be closed or deleted (the context is
 * gone all the same). */
CABINET_API CabBool CABINET_CC FCIDestroy(FCIContext context);

/* ---- Version ---------------------------------------------------------------------------- */

/* The version of the library actually loaded: "MAJOR.MINOR.PATCH" (a static string), and the
 * same as MAJOR * 10000 + MINOR * 100 + PATCH. Compare with CABINET_VERSION_STRING and
 * CABINET_VERSION_NUMBER, the version of the headers a program was compiled against. */
CABINET_API const char* CABINET_CC CabinetVersionString(void);
CABINET_API unsigned CABINET_CC CabinetVersionNumber(void);

#ifdef __cplusplus
}
#endif

#endif /* PELMORA_CABINET_H */
