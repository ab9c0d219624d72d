/* Pelmora's cabinet library: the FDI (decompression) and FCI (compression) interface.
 *
 * The entry points, records, callbacks and values follow the published contract of the
 * platform's cabinet library, so that a program bound to one by name can use the other.
 * Handles are pointer-sized integers chosen by the caller's open callback; -1 is a failed open.
 * All memory comes from the caller's alloc/free callbacks and all file access goes through
 * its file callbacks. No C++ exception ever leaves the library.
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

/* Error record (ERF), filled by the library on failure. */
typedef struct CabErrorRecord {
    int ErrorCode; /* FDIERROR_* or FCIERROR_* */
    int ErrorType; /* secondary value: the C runtime error, when one applies */
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

/* FDINOTIFICATION: what each notification carries.
 *   CABINET_INFO   psz1 next cabinet, psz2 next disk, psz3 cabinet path, setID, iCabinet
 *   PARTIAL_FILE   psz1 member name, psz2 first cabinet, psz3 first disk
 *   COPY_FILE      psz1 member name, cb size, date, time, attribs, iFolder
 *   CLOSE_FILE_INFO psz1 member name, hf, date, time, attribs, cb = 1 when to be run
 *   NEXT_CABINET   psz1 next cabinet, psz2 next disk, psz3 cabinet path (may be changed
 *                  by the handler, at most 256 bytes), fdie the reason when retried */
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

/* FDIIsCabinet reads the cabinet header from the start of the open file `handle` and fills
 * `info`; it neither closes the file nor restores its position.
 *
 * FDICopy opens cabinetPath + cabinetName and offers its members in stored order. An output
 * handle answered to fdintCOPY_FILE is only ever written to: the handler closes it at
 * fdintCLOSE_FILE_INFO, or itself after FDICopy failed while the member was being written.
 * A next cabinet that cannot be opened is asked for again (fdie set) a few times at most,
 * then FDICopy fails with that reason. The context keeps its decoding position between
 * passes, so a later pass over the same, unchanged cabinet continues inside the folder. */
CABINET_API FDIContext CABINET_CC FDICreate(FdiAllocFn alloc, FdiFreeFn free, FdiOpenFn open,
                                            FdiReadFn read, FdiWriteFn write, FdiCloseFn close,
                                            FdiSeekFn seek, int cpuType, CabErrorRecord* error);
CABINET_API CabBool CABINET_CC FDIIsCabinet(FDIContext context, CabHandle handle, FDICabInfo* info);
CABINET_API CabBool CABINET_CC FDICopy(FDIContext context, char* cabinetName, char* cabinetPath,
                                       int flags, FdiNotifyFn notify, FdiDecryptFn decrypt,
                                       void* user);
CABINET_API CabBool CABINET_CC FDIDestroy(FDIContext context);

/* ---- FCI: compression ------------------------------------------------------------------ */

#define CAB_MAX_NAME 256

/* CCAB: the cabinet parameters. The library keeps its own copy; get-next-cabinet receives it
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

/* Status types handed to the status callback:
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

CABINET_API FCIContext CABINET_CC FCICreate(CabErrorRecord* error, FciFilePlacedFn filePlaced,
                                            FciAllocFn alloc, FciFreeFn free, FciOpenFn open,
                                            FciReadFn read, FciWriteFn write, FciCloseFn close,
                                            FciSeekFn seek, FciDeleteFn remove,
                                            FciGetTempFileFn tempFile, FCICabInfo* cabInfo,
                                            void* user);
CABINET_API CabBool CABINET_CC FCIAddFile(FCIContext context, char* sourceName, char* storedName,
                                          CabBool execute, FciGetNextCabinetFn getNextCabinet,
                                          FciStatusFn status, FciGetOpenInfoFn getOpenInfo,
                                          TCOMP compression);
CABINET_API CabBool CABINET_CC FCIFlushCabinet(FCIContext context, CabBool getNextCabinet,
                                               FciGetNextCabinetFn nextCabinet, FciStatusFn status);
CABINET_API CabBool CABINET_CC FCIFlushFolder(FCIContext context,
                                              FciGetNextCabinetFn getNextCabinet,
                                              FciStatusFn status);
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
