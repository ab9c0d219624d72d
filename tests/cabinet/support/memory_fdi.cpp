#include "support/memory_fdi.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace cabtest {

namespace {

struct OpenFile {
    bool output = false;
    std::string name;  // the file, or the member being written
    size_t position = 0;
};

FdiHarness* gHarness = nullptr;
int gLiveBlocks = 0;
int gGrantsLeft = -1;
std::set<OpenFile*> gOpenInputs;
uint64_t gWritten = 0;

void* CABINET_CC allocBlock(uint32_t size) {
    if (gGrantsLeft == 0 || size == 0) return nullptr;
    if (gGrantsLeft > 0) --gGrantsLeft;
    ++gLiveBlocks;
    return std::malloc(size);
}

void CABINET_CC freeBlock(void* block) {
    if (!block) return;
    --gLiveBlocks;
    std::free(block);
}

CabHandle CABINET_CC openInput(char* name, int, int) {
    if (!gHarness->files.count(name)) return -1;
    auto* file = new OpenFile{false, name, 0};
    gOpenInputs.insert(file);
    return reinterpret_cast<CabHandle>(file);
}

uint32_t CABINET_CC readInput(CabHandle handle, void* buffer, uint32_t count) {
    auto* file = reinterpret_cast<OpenFile*>(handle);
    if (file->output) return UINT32_MAX;
    const auto& bytes = gHarness->files.at(file->name);
    size_t left = file->position < bytes.size() ? bytes.size() - file->position : 0;
    size_t n = count < left ? count : left;
    if (n) std::memcpy(buffer, bytes.data() + file->position, n);
    file->position += n;
    gHarness->bytesRead += n;
    return static_cast<uint32_t>(n);
}

uint32_t CABINET_CC writeOutput(CabHandle handle, void* buffer, uint32_t count) {
    auto* file = reinterpret_cast<OpenFile*>(handle);
    if (!file->output) return UINT32_MAX;
    if (gHarness->writeLimit >= 0 && gWritten + count > uint64_t(gHarness->writeLimit))
        return UINT32_MAX;
    gWritten += count;
    auto& out = gHarness->outputs[file->name];
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    out.insert(out.end(), bytes, bytes + count);
    return count;
}

int CABINET_CC closeInput(CabHandle handle) {
    auto* file = reinterpret_cast<OpenFile*>(handle);
    if (file->output || !gOpenInputs.erase(file))
        std::abort();  // the library closed a handle not its own
    delete file;
    return 0;
}

int32_t CABINET_CC seekInput(CabHandle handle, int32_t offset, int origin) {
    auto* file = reinterpret_cast<OpenFile*>(handle);
    int64_t size = static_cast<int64_t>(gHarness->files.at(file->name).size());
    int64_t base = origin == 1 ? static_cast<int64_t>(file->position) : origin == 2 ? size : 0;
    if (base + offset < 0) return -1;
    file->position = static_cast<size_t>(base + offset);
    return static_cast<int32_t>(file->position);
}

std::vector<OpenFile*> gOutputs;  // output handles the handler made in this pass

CabHandle CABINET_CC handleNotification(FDINotificationType type, FDINotification* n) {
    FdiHarness& h = *gHarness;
    Notification record;
    record.type = type;
    if (n->psz1) record.psz1 = n->psz1;
    if (n->psz2) record.psz2 = n->psz2;
    if (n->psz3) record.psz3 = n->psz3;
    record.cb = n->cb;
    record.fdie = n->fdie;
    record.setID = n->setID;
    record.iCabinet = n->iCabinet;
    record.attribs = n->attribs;
    h.events.push_back(record);
    if (h.override) {
        if (auto answer = h.override(type, *n)) return *answer;
    }
    switch (type) {
        case fdintCOPY_FILE: {
            if (!h.wanted.empty() && !h.wanted.count(n->psz1)) return 0;
            auto* out = new OpenFile{true, n->psz1, 0};
            gOutputs.push_back(out);
            h.outputs[n->psz1];  // present even when empty
            return reinterpret_cast<CabHandle>(out);
        }
        case fdintCLOSE_FILE_INFO:
            return 1;
        default:
            return 0;
    }
}

}  // namespace

FdiHarness::FdiHarness(int allocations) {
    if (gHarness) throw std::logic_error("one FdiHarness at a time");
    gHarness = this;
    gGrantsLeft = allocations;
    context_ = FDICreate(allocBlock, freeBlock, openInput, readInput, writeOutput, closeInput,
                         seekInput, cpuUNKNOWN, &error_);
}

FdiHarness::~FdiHarness() {
    if (context_) FDIDestroy(context_);
    for (OpenFile* out : gOutputs) delete out;
    gOutputs.clear();
    gGrantsLeft = -1;
    gHarness = nullptr;
}

bool FdiHarness::copy(const std::string& name, const std::string& path) {
    events.clear();
    outputs.clear();
    gWritten = 0;
    bool ok = FDICopy(context_, const_cast<char*>(name.c_str()), const_cast<char*>(path.c_str()), 0,
                      handleNotification, nullptr, this);
    for (OpenFile* out : gOutputs) delete out;
    gOutputs.clear();
    return ok;
}

bool FdiHarness::isCabinet(const std::string& name, FDICabInfo& info) {
    CabHandle handle = openInput(const_cast<char*>(name.c_str()), 0, 0);
    if (handle == -1) return false;
    bool ok = FDIIsCabinet(context_, handle, &info);
    closeInput(handle);
    return ok;
}

int FdiHarness::openFiles() const {
    return static_cast<int>(gOpenInputs.size());
}

int FdiHarness::liveBlocks() {
    return gLiveBlocks;
}

}  // namespace cabtest
