// The FDI entry points: context life cycle, the cabinet check, and FDICopy.
#include <cstring>

#include "cab_format.h"
#include "fdi_context.h"

namespace cabinet {

namespace {

FdiContextData* contextFrom(FDIContext handle) {
    auto* context = static_cast<FdiContextData*>(handle);
    return context && context->magic == FdiContextData::kMagic ? context : nullptr;
}

void releaseContext(FdiContextData* context) {
    Allocator alloc = context->alloc;
    destroyDecoder(alloc, context->decoder);
    for (CabinetSource& source : context->sources) source.close();
    for (uint8_t* buffer : context->readBuffers) alloc.deallocate(buffer);
    alloc.deallocate(context->blockIn);
    alloc.deallocate(context->blockOut);
    context->magic = 0;
    alloc.destroy(context);
}

void reportCreateFailure(CabErrorRecord* error) {
    if (!error) return;
    error->ErrorCode = FDIERROR_ALLOC_FAIL;
    error->ErrorType = 0;
    error->ErrorPresent = 1;
}

}  // namespace

}  // namespace cabinet

using cabinet::FdiContextData;

extern "C" {

CABINET_API FDIContext CABINET_CC FDICreate(FdiAllocFn alloc, FdiFreeFn free, FdiOpenFn open,
                                            FdiReadFn read, FdiWriteFn write, FdiCloseFn close,
                                            FdiSeekFn seek, int /*cpuType*/,
                                            CabErrorRecord* error) {
    if (!alloc || !free || !open || !read || !write || !close || !seek) {
        cabinet::reportCreateFailure(error);
        return nullptr;
    }
    cabinet::Allocator allocator{alloc, free};
    FdiContextData* context = allocator.make<FdiContextData>();
    if (!context) {
        cabinet::reportCreateFailure(error);
        return nullptr;
    }
    context->alloc = allocator;
    context->io = cabinet::FdiIo{open, read, write, close, seek};
    context->error = error;
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        context->readBuffers[i] =
            static_cast<uint8_t*>(allocator.allocate(cabinet::kReadBufferSize));
        ok = ok && context->readBuffers[i];
        context->sources[i].attach(&context->alloc, &context->io, context->readBuffers[i],
                                   cabinet::kReadBufferSize);
    }
    context->blockIn = static_cast<uint8_t*>(allocator.allocate(cabinet::kMaxBlockInput));
    context->blockOut = static_cast<uint8_t*>(allocator.allocate(cabinet::kMaxBlockOutput));
    if (!ok || !context->blockIn || !context->blockOut) {
        cabinet::releaseContext(context);
        cabinet::reportCreateFailure(error);
        return nullptr;
    }
    cabinet::setError(*context, FDIERROR_NONE);
    return context;
}

CABINET_API CabBool CABINET_CC FDIIsCabinet(FDIContext handle, CabHandle file, FDICabInfo* info) {
    FdiContextData* context = cabinet::contextFrom(handle);
    if (!context || !info || context->busy) return 0;
    uint8_t head[cabinet::kCabHeaderSize];
    uint32_t got = 0;
    if (context->io.seek(file, 0, cabinet::kSeekSet) == 0)
        got = context->io.read(file, head, sizeof head);
    if (got == UINT32_MAX || got > sizeof head) got = 0;
    cabinet::CabHeader header;
    switch (cabinet::parseCabFixedHeader(head, got, header)) {
        case cabinet::ParseStatus::ok:
            break;
        case cabinet::ParseStatus::badVersion:
            cabinet::setError(*context, FDIERROR_UNKNOWN_CABINET_VERSION);
            return 0;
        default:
            cabinet::setError(*context, FDIERROR_NOT_A_CABINET);
            return 0;
    }
    info->cbCabinet = static_cast<int32_t>(header.cabinetSize);
    info->cFolders = header.folderCount;
    info->cFiles = header.fileCount;
    info->setID = header.setID;
    info->iCabinet = header.cabinetIndex;
    info->fReserve = header.hasReserve();
    info->hasprev = header.hasPrev();
    info->hasnext = header.hasNext();
    cabinet::setError(*context, FDIERROR_NONE);
    return 1;
}

CABINET_API CabBool CABINET_CC FDICopy(FDIContext handle, char* cabinetName, char* cabinetPath,
                                       int /*flags*/, FdiNotifyFn notify, FdiDecryptFn /*decrypt*/,
                                       void* user) {
    FdiContextData* context = cabinet::contextFrom(handle);
    if (!context || context->busy) return 0;
    if (!cabinetName || !notify) {
        cabinet::setError(*context, FDIERROR_CABINET_NOT_FOUND);
        return 0;
    }
    context->busy = true;
    bool ok =
        cabinet::runFdiCopy(*context, cabinetName, cabinetPath ? cabinetPath : "", notify, user);
    context->busy = false;
    return ok;
}

CABINET_API CabBool CABINET_CC FDIDestroy(FDIContext handle) {
    FdiContextData* context = cabinet::contextFrom(handle);
    if (!context || context->busy) return 0;
    cabinet::releaseContext(context);
    return 1;
}

}  // extern "C"
