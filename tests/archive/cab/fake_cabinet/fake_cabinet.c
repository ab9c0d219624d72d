/* A stand-in cabinet library for the binding's tests: it exports FDICreate, FDIIsCabinet and
 * FDIDestroy but no FDICopy and nothing of FCI. FDIIsCabinet accepts a stream whose first four
 * bytes read "MSCF". It is C built without exception support, so an exception unwinding
 * through it would end the test program. */
#include <stdint.h>
#include <string.h>

#include "cabinet.h"

typedef struct FakeContext {
    FdiAllocFn alloc;
    FdiFreeFn free;
    FdiReadFn read;
    FdiSeekFn seek;
} FakeContext;

/* How many FDIIsCabinet calls ran to their end: a test compares it before and after. */
CABINET_API int fake_cabinet_finished_checks = 0;

CABINET_API FDIContext CABINET_CC FDICreate(FdiAllocFn alloc, FdiFreeFn free, FdiOpenFn open,
                                            FdiReadFn read, FdiWriteFn write, FdiCloseFn close,
                                            FdiSeekFn seek, int cpuType, CabErrorRecord* error) {
    (void)open, (void)write, (void)close, (void)cpuType;
    FakeContext* context = (FakeContext*)alloc(sizeof(FakeContext));
    if (!context) {
        error->ErrorCode = FDIERROR_ALLOC_FAIL;
        error->ErrorPresent = 1;
        return 0;
    }
    context->alloc = alloc;
    context->free = free;
    context->read = read;
    context->seek = seek;
    return context;
}

CABINET_API CabBool CABINET_CC FDIIsCabinet(FDIContext handle, CabHandle hf, FDICabInfo* info) {
    FakeContext* context = (FakeContext*)handle;
    char signature[4] = {0};
    CabBool accepted = 0;
    if (context->seek(hf, 0, 0) == 0 && context->read(hf, signature, 4) == 4 &&
        memcmp(signature, "MSCF", 4) == 0) {
        memset(info, 0, sizeof *info);
        info->cbCabinet = context->seek(hf, 0, 2);
        accepted = 1;
    }
    ++fake_cabinet_finished_checks;
    return accepted;
}

CABINET_API CabBool CABINET_CC FDIDestroy(FDIContext handle) {
    FakeContext* context = (FakeContext*)handle;
    context->free(context);
    return 1;
}
