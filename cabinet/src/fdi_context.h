// The decompression context behind an FDIContext handle.
//
// Besides the caller's callbacks and the error record, the context keeps the decoding state of
// the folder it decoded last: the decoder with its history, where in the folder's data blocks
// it stands, and the last block's output. That is what lets a later FDICopy resume inside the
// folder; the cabinet is known again by its identity (see CabinetSource).
#pragma once

#include <cstdint>

#include "allocator.h"
#include "block_decoder.h"
#include "cab_format.h"
#include "cabinet.h"
#include "cabinet_source.h"
#include "fdi_io.h"

namespace cabinet {

// Data blocks are read in pieces this large: few calls into the caller's read callback.
constexpr uint32_t kReadBufferSize = 262144;

// Where decoding of one folder stands. A folder that runs on into later cabinets of a set is
// known by its first cabinet and index there and by the cabinet whose blocks are being read.
struct FolderCursor {
    bool valid = false;
    uint64_t startCabinet = 0;  // identity of the cabinet where the folder began
    uint16_t startFolder = 0;
    uint64_t currentCabinet = 0;  // identity of the cabinet whose blocks are being read
    uint16_t currentFolder = 0;
    uint16_t compression = 0;
    uint32_t nextBlock = 0;        // index of the next block within the current cabinet
    uint64_t nextBlockOffset = 0;  // file offset of that block's header
    uint64_t outStart = 0;         // folder offsets of the output held in blockOut
    uint64_t outEnd = 0;
    uint32_t pendingInput = 0;  // first part of a block split over two cabinets, in blockIn
};

struct FdiContextData {
    static constexpr uint32_t kMagic = 0x46444943;  // "FDIC"
    uint32_t magic = kMagic;
    bool busy = false;  // inside FDICopy

    Allocator alloc;
    FdiIo io;
    CabErrorRecord* error = nullptr;

    uint8_t* readBuffers[3] = {};
    uint8_t* blockIn = nullptr;   // kMaxBlockInput bytes
    uint8_t* blockOut = nullptr;  // kMaxBlockOutput bytes

    // The cabinet FDICopy was called for, the later cabinet a member led into, and the slot
    // where a next cabinet is checked before it replaces the later one.
    CabinetSource sources[3];

    BlockDecoder* decoder = nullptr;
    uint16_t decoderCompression = 0;
    FolderCursor cursor;
};

void setError(FdiContextData& context, int code);

// The body of FDICopy, once the context is known to be valid.
bool runFdiCopy(FdiContextData& context, const char* cabinetName, const char* cabinetPath,
                FdiNotifyFn notify, void* user);

}  // namespace cabinet
