#include "block_encoder.h"

namespace cabinet {

void destroyEncoder(const Allocator& alloc, BlockEncoder* encoder) {
    alloc.destroy(encoder);
}

}  // namespace cabinet
