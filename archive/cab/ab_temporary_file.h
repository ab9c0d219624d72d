// A temporary file in the system's temporary folder that nobody else can open and that goes
// away when it is closed, even when the program is killed (where the platform allows).
#pragma once

#include <memory>

#include "archive/cab/ab_stream.h"

namespace pelmora {

// Raises EFCreateError with the system's reason when no such file can be made.
std::unique_ptr<TFileStream> createTemporaryFile();

}  // namespace pelmora
