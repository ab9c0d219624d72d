// Archive type detection on arbitrary bytes: every check must answer or raise one of the
// program's errors, never crash, hang or read out of bounds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/cab/ab_stream.h"
#include "archive/components/ab_archive_probes.h"
#include "archive/components/ab_browse.h"

namespace {

std::u16string scratchFile() {
    std::string name = "/tmp/pelmora-fuzz-detect-" + std::to_string(::getpid()) + ".bin";
    return std::u16string(name.begin(), name.end());
}

void writeAll(const std::u16string& name, const uint8_t* data, size_t size) {
    TFileStream file(name, TFileOpenMode::Create);
    file.WriteBuffer(data, static_cast<int32_t>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    for (auto probe : {ProbeZip, ProbeSelfExtractingZip, ProbeTar, ProbeGzip, ProbeBzip2}) {
        TMemoryStream stream(bytes);
        try {
            probe(stream);
        } catch (const EGeneralError&) {
            // A damaged gzip or bzip2 stream is reported as an error: that is an answer.
        }
    }
    // The whole routine on a file, asserting each type in turn by the first byte.
    static const std::u16string file = scratchFile();
    writeAll(file, data, size);
    auto asserted = static_cast<TAbArchiveType>(size ? data[0] % 10 : 0);
    try {
        DetectArchiveType(file, asserted);
    } catch (const EGeneralError&) {
        // Including "Cannot load cabinet.dll" when the fuzzer runs without the library.
    }
    return 0;
}
