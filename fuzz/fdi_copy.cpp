// Fuzzes the reading side: FDIIsCabinet, then FDICopy passes that write every member, then a
// pass that wants only the last member (resuming inside a folder). The input is one cabinet,
// or two when "MSCF" starts again further on: the second answers every next-cabinet request.
//
// The data blocks' checksums are made right before the passes, so damaged data meets the
// decoders rather than the checksum test. Whatever a pass reports as extracted (its close
// notification came) must come out byte for byte the same in every other pass that reports
// it, and a second full pass on a fresh context must report exactly what the first did:
// a decoder that accepts damage tends to let it show as output that changes between runs.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "cabinet.h"
#include "support/block_checksums.h"

namespace {

struct MemoryFile {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;
    bool sink = false;
    uint64_t written = 0;
    uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a over the bytes written
};

const uint8_t* gFirst = nullptr;
size_t gFirstSize = 0;
const uint8_t* gSecond = nullptr;
size_t gSecondSize = 0;

// The output handle being written: the library leaves it to the caller when a member fails.
MemoryFile* gOpenSink = nullptr;

constexpr uint64_t kOutputLimit = 2u << 20;  // keeps one input's run short

void* alloc(uint32_t size) {
    return size ? std::malloc(size) : nullptr;
}
void release(void* block) {
    std::free(block);
}

CabHandle open(char* name, int, int) {
    auto* file = new MemoryFile;
    if (std::strcmp(name, "first.cab") == 0) {
        file->data = gFirst, file->size = gFirstSize;
    } else if (gSecond) {
        file->data = gSecond, file->size = gSecondSize;
    } else {
        delete file;
        return -1;
    }
    return reinterpret_cast<CabHandle>(file);
}

uint32_t read(CabHandle handle, void* buffer, uint32_t count) {
    auto* file = reinterpret_cast<MemoryFile*>(handle);
    size_t left = file->position < file->size ? file->size - file->position : 0;
    size_t n = count < left ? count : left;
    if (n) std::memcpy(buffer, file->data + file->position, n);
    file->position += n;
    return static_cast<uint32_t>(n);
}

uint32_t write(CabHandle handle, void* buffer, uint32_t count) {
    auto* file = reinterpret_cast<MemoryFile*>(handle);
    // Touch the bytes so the sanitizers see every byte the library hands out.
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    for (uint32_t i = 0; i < count; ++i) file->hash = (file->hash ^ bytes[i]) * 0x100000001B3ull;
    file->written += count;
    return file->written > kOutputLimit ? 0 : count;
}

int close(CabHandle handle) {
    delete reinterpret_cast<MemoryFile*>(handle);
    return 0;
}

int32_t seek(CabHandle handle, int32_t offset, int origin) {
    auto* file = reinterpret_cast<MemoryFile*>(handle);
    int64_t base = origin == 1   ? static_cast<int64_t>(file->position)
                   : origin == 2 ? static_cast<int64_t>(file->size)
                                 : 0;
    int64_t target = base + offset;
    if (target < 0) return -1;
    file->position = static_cast<size_t>(target);
    return static_cast<int32_t>(target);
}

struct PassState {
    int wantedIndex;  // -1: every member
    int offered;
    int writing;                        // index of the member being written
    std::map<int, uint64_t> extracted;  // member index -> hash of its bytes, once closed
};

CabHandle notify(FDINotificationType type, FDINotification* n) {
    auto* state = static_cast<PassState*>(n->pv);
    switch (type) {
        case fdintCOPY_FILE: {
            int index = state->offered++;
            if (state->wantedIndex >= 0 && index != state->wantedIndex) return 0;
            state->writing = index;
            gOpenSink = new MemoryFile;
            gOpenSink->sink = true;
            return reinterpret_cast<CabHandle>(gOpenSink);
        }
        case fdintCLOSE_FILE_INFO:
            if (reinterpret_cast<MemoryFile*>(n->hf) != gOpenSink) std::abort();
            state->extracted[state->writing] = gOpenSink->hash;
            delete gOpenSink;
            gOpenSink = nullptr;
            return 1;
        case fdintNEXT_CABINET:
            return n->fdie == FDIERROR_NONE ? 0 : -1;
        default:
            return 0;
    }
}

// Every member reported by both passes has the same bytes in both.
void requireSameBytes(const PassState& a, const PassState& b) {
    for (const auto& [index, hash] : a.extracted) {
        auto other = b.extracted.find(index);
        if (other != b.extracted.end() && other->second != hash) std::abort();
    }
}

PassState runPass(FDIContext context, int wantedIndex) {
    PassState state{wantedIndex, 0, -1, {}};
    FDICopy(context, const_cast<char*>("first.cab"), const_cast<char*>(""), 0, notify, nullptr,
            &state);
    delete gOpenSink;
    gOpenSink = nullptr;
    return state;
}

FDIContext createContext(CabErrorRecord& error) {
    return FDICreate(alloc, release, open, read, write, close, seek, cpuUNKNOWN, &error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    std::vector<uint8_t> bytes(input, input + size);
    uint8_t* data = bytes.data();
    gFirst = data, gFirstSize = size, gSecond = nullptr, gSecondSize = 0;
    for (size_t i = 4; i + 4 <= size; ++i) {
        if (std::memcmp(data + i, "MSCF", 4) == 0) {
            gFirstSize = i, gSecond = data + i, gSecondSize = size - i;
            break;
        }
    }
    const auto which = cabtest::Stamp::blocksWithChecksum;
    cabtest::stampBlockChecksums(data, gFirstSize, which);
    if (gSecond) cabtest::stampBlockChecksums(data + gFirstSize, gSecondSize, which);

    CabErrorRecord error{};
    FDIContext context = createContext(error);
    if (!context) return 0;

    CabHandle file = open(const_cast<char*>("first.cab"), 0, 0);
    FDICabInfo info{};
    FDIIsCabinet(context, file, &info);
    close(file);

    const PassState all = runPass(context, -1);
    const PassState first = runPass(context, 0);
    requireSameBytes(all, first);
    if (all.offered > 1) requireSameBytes(all, runPass(context, all.offered - 1));
    FDIDestroy(context);

    // A fresh context must tell the same story, member for member.
    CabErrorRecord againError{};
    FDIContext again = createContext(againError);
    if (!again) return 0;
    const PassState repeated = runPass(again, -1);
    FDIDestroy(again);
    if (repeated.extracted != all.extracted) std::abort();
    return 0;
}
