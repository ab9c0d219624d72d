#include "archive/cab/ab_output_file.h"

#include <atomic>
#include <chrono>

namespace pelmora {
namespace {

// A name beside the target that no other extraction picks: the target's own name, hidden
// with a leading dot, with a counter and a clock reading.
std::u16string temporaryNameFor(const std::u16string& target, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    std::size_t cut = target.find_last_of(u"\\/:");
    std::u16string folder = cut == std::u16string::npos ? u"" : target.substr(0, cut + 1);
    std::u16string name = cut == std::u16string::npos ? target : target.substr(cut + 1);
    auto tick = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    // Built by appending only: GCC 12 at -O3 misreads a string prepended to a temporary
    // ("." + std::to_string(...)) as an overlapping copy and warns.
    std::string suffix(1, '.');
    suffix += std::to_string(counter++);
    suffix += '-';
    suffix += std::to_string(tick % 1000000);
    suffix += '-';
    suffix += std::to_string(attempt);
    suffix += ".part";
    return folder + u"." + name + std::u16string(suffix.begin(), suffix.end());
}

}  // namespace

PendingOutputFile::PendingOutputFile(const std::u16string& target) : FTarget(target) {
    int32_t reason = 0;
    if (outputfile::refusesReplacement(target, reason)) throw EFCreateError(target, reason);
    constexpr unsigned kAttempts = 8;
    for (unsigned attempt = 0;; ++attempt) {
        FTemporaryName = temporaryNameFor(target, attempt);
        try {
            FStream = std::make_unique<TFileStream>(FTemporaryName, TFileOpenMode::CreateNew);
            return;
        } catch (const EFCreateError&) {
            if (attempt + 1 == kAttempts) {
                // Report the file the caller asked for, not our temporary name.
                outputfile::refusesReplacement(target, reason);
                throw EFCreateError(target, reason ? reason : 13 /* permission denied */);
            }
        }
    }
}

PendingOutputFile::~PendingOutputFile() {
    if (!FDone) Discard();
}

void PendingOutputFile::Commit(uint16_t dosDate, uint16_t dosTime, uint16_t attributes) {
    outputfile::setLastWriteTime(*FStream, dosDate, dosTime);
    bool closed = FStream->Close();
    outputfile::applyAttributes(FTemporaryName, attributes);
    int32_t reason = 0;
    if (!closed || !outputfile::replaceFile(FTemporaryName, FTarget, reason)) {
        Discard();
        throw EFCreateError(FTarget, reason);
    }
    FDone = true;
}

void PendingOutputFile::Discard() noexcept {
    if (FDone) return;
    FStream->Close();
    outputfile::removeFile(FTemporaryName);
    FDone = true;
}

}  // namespace pelmora
