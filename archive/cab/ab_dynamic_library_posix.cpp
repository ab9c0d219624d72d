#include <dlfcn.h>

#include "archive/cab/ab_dynamic_library.h"

namespace pelmora::dynlib {

ModuleHandle loadLibrary(const std::string& name) {
    // RTLD_LOCAL keeps the library's symbols out of the global namespace: a test library
    // and the real one may both be loaded without one resolving against the other.
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* findSymbol(ModuleHandle module, const char* symbol) {
    return module ? dlsym(module, symbol) : nullptr;
}

const char* cabinetLibraryName() {
    return "libcabinet.so";
}

}  // namespace pelmora::dynlib
