#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "archive/cab/ab_dynamic_library.h"

namespace pelmora::dynlib {
namespace {

// The program's own library folder, ../lib beside its executable, where our build and our
// installation put the cabinet library. The executable's run path does not serve here: the
// loader applies it only to calls that come from the executable itself, and a call routed
// through an interposed dlopen (sanitizers, preloaded tools) or made from a shared library
// would miss it. Windows likewise looks in the program's folder first.
std::string besideProgram(const std::string& name) {
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    std::filesystem::path program(std::string(path, static_cast<std::size_t>(n)));
    return (program.parent_path().parent_path() / "lib" / name).string();
}

}  // namespace

ModuleHandle loadLibrary(const std::string& name) {
    // RTLD_LOCAL keeps the library's symbols out of the global namespace: a test library
    // and the real one may both be loaded without one resolving against the other.
    constexpr int kFlags = RTLD_NOW | RTLD_LOCAL;
    if (name.find('/') == std::string::npos) {
        std::string local = besideProgram(name);
        if (!local.empty()) {
            if (void* module = dlopen(local.c_str(), kFlags)) return module;
        }
    }
    return dlopen(name.c_str(), kFlags);
}

void* findSymbol(ModuleHandle module, const char* symbol) {
    return module ? dlsym(module, symbol) : nullptr;
}

const char* cabinetLibraryName() {
    return "libcabinet.so";
}

}  // namespace pelmora::dynlib
