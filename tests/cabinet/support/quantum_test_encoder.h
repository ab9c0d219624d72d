// A small Quantum compressor for tests: greedy matches from a one-entry hash table, coded with
// the same adaptive models as the decoder. It cuts the input into 32 KB frames, one per data
// block as a cabinet holds them, so round trips can cross frames, window wraps and every
// position slot the window allows.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "folder_blocks.h"
#include "quantum_model.h"
#include "quantum_tables.h"

namespace cabinet::testing {

// Compresses `data` as one folder.
std::vector<DataBlock> quantumEncode(const std::vector<uint8_t>& data, unsigned windowBits);

class FrameEncoder;

// Codes the tokens it is given, sound or not, so tests can also build streams no compressor
// would write (a match reaching before the folder's start or past its frame's end).
class QuantumTokenEncoder {
public:
    explicit QuantumTokenEncoder(unsigned windowBits);
    ~QuantumTokenEncoder();

    void literal(uint8_t byte);
    void match(uint32_t length, uint32_t distance);  // length 3..259, distance within the model
    // Closes the frame: the block to store, whose output size is what the frame's tokens make.
    DataBlock endFrame();

    // The largest distance a match of `length` can code with this window.
    uint32_t maxDistance(unsigned length) const;

private:
    std::unique_ptr<FrameEncoder> coder_;
    uint32_t frameSize_ = 0;
    quantum::AdaptiveModel selector_, literal_[quantum::kLiteralModels], match3Position_,
        match4Position_, matchNPosition_, matchNLength_;
};

}  // namespace cabinet::testing
