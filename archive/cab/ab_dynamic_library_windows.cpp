#include <windows.h>

#include "archive/cab/ab_dynamic_library.h"

namespace pelmora::dynlib {

ModuleHandle loadLibrary(const std::string& name) {
    return reinterpret_cast<ModuleHandle>(LoadLibraryA(name.c_str()));
}

void* findSymbol(ModuleHandle module, const char* symbol) {
    if (!module) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), symbol));
}

const char* cabinetLibraryName() {
    return "cabinet.dll";
}

}  // namespace pelmora::dynlib
