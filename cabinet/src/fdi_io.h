// The caller's file callbacks as the decompression side receives them from FDICreate.
#pragma once

#include "cabinet.h"

namespace cabinet {

struct FdiIo {
    FdiOpenFn open = nullptr;
    FdiReadFn read = nullptr;
    FdiWriteFn write = nullptr;
    FdiCloseFn close = nullptr;
    FdiSeekFn seek = nullptr;
};

constexpr CabHandle kNoHandle = -1;
constexpr int kSeekSet = 0;
constexpr int kSeekEnd = 2;

}  // namespace cabinet
