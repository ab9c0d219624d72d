#include "archive/cab/ab_output_file.h"

#include <atomic>
#include <chrono>
#include <random>

#include "archive/core/ab_exceptions.h"
#include "util/stop_request.h"

namespace pelmora {
namespace {

constexpr unsigned kNameAttempts = 8;

// The output's stream: once the program is asked to stop, the member goes no further and
// the extraction discards it instead of completing it.
class InterruptibleFileStream : public TFileStream {
public:
    using TFileStream::TFileStream;
    int32_t Write(const void* buffer, int32_t count) override {
        if (StopRequested()) throw EAbUserAbort();
        return TFileStream::Write(buffer, count);
    }
};

uint64_t mixBits(uint64_t value) {
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

uint64_t startingPoint() {
    // The clock as well: some systems' random device repeats itself from one run to the next.
    auto tick = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return (static_cast<uint64_t>(std::random_device{}()) << 32) ^ tick;
}

// A hidden name in the target's folder of the same short length whatever the target's own
// name: a member name near the file system's limit must not be pushed over it by a suffix.
// Names differ between calls and, with the random starting point, between processes.
std::u16string temporaryNameIn(const std::u16string& folder) {
    static std::atomic<uint64_t> sequence{startingPoint()};
    const uint64_t value = mixBits(sequence.fetch_add(1));
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    std::u16string name = folder;
    name.append(u".pelmora-");
    for (int shift = 28; shift >= 0; shift -= 4) name.push_back(kDigits[(value >> shift) & 15]);
    name.append(u".part");
    return name;
}

std::u16string folderOf(const std::u16string& target) {
    const std::size_t cut = target.find_last_of(u"\\/:");
    return cut == std::u16string::npos ? std::u16string() : target.substr(0, cut + 1);
}

}  // namespace

PendingOutputFile::PendingOutputFile(const std::u16string& target, TemporaryKind kind)
    : FTarget(target), FFolder(folderOf(target)) {
    int32_t reason = 0;
    if (outputfile::refusesReplacement(target, reason)) throw EFCreateError(target, reason);
    if (kind == TemporaryKind::PreferUnnamed) {
        const intptr_t handle = outputfile::openUnnamedIn(FFolder);
        if (handle != -1) {
            FStream = std::make_unique<InterruptibleFileStream>(target, handle);
            return;
        }
    }
    createNamed();
}

void PendingOutputFile::createNamed() {
    for (unsigned attempt = 0;; ++attempt) {
        FTemporaryName = temporaryNameIn(FFolder);
        try {
            FStream =
                std::make_unique<InterruptibleFileStream>(FTemporaryName, TFileOpenMode::CreateNew);
            return;
        } catch (const EFCreateError&) {
            if (attempt + 1 == kNameAttempts) {
                // Report the file the caller asked for, not our temporary name.
                FTemporaryName.clear();
                int32_t reason = 0;
                outputfile::refusesReplacement(FTarget, reason);
                throw EFCreateError(FTarget, reason ? reason : 13 /* permission denied */);
            }
        }
    }
}

PendingOutputFile::~PendingOutputFile() {
    if (!FDone) Discard();
}

bool PendingOutputFile::nameTheUnnamedFile(int32_t& reason) {
    // A file cannot be linked over an existing one, so it gets a fresh temporary name first
    // and is then moved over the target in one step like a named temporary file.
    for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::u16string name = temporaryNameIn(FFolder);
        if (outputfile::linkUnnamed(*FStream, name, reason)) {
            FTemporaryName = name;
            return true;
        }
    }
    return false;
}

void PendingOutputFile::Commit(uint16_t dosDate, uint16_t dosTime, uint16_t attributes) {
    outputfile::setLastWriteTime(*FStream, dosDate, dosTime);
    int32_t reason = 0;
    if (Unnamed() && !nameTheUnnamedFile(reason)) {
        Discard();
        throw EFCreateError(FTarget, reason);
    }
    const bool closed = FStream->Close();
    outputfile::applyAttributes(FTemporaryName, attributes);
    if (!closed || !outputfile::replaceFile(FTemporaryName, FTarget, reason)) {
        Discard();
        throw EFCreateError(FTarget, reason);
    }
    FDone = true;
}

void PendingOutputFile::Discard() noexcept {
    if (FDone) return;
    FStream->Close();  // a file without a name goes with its last handle
    if (!FTemporaryName.empty()) outputfile::removeFile(FTemporaryName);
    FDone = true;
}

}  // namespace pelmora
