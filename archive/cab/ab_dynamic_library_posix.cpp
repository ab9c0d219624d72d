#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/cab/ab_dynamic_library.h"

namespace pelmora::dynlib {
namespace {

// The cabinet library is the program's own: the installed program keeps it in its private
// library folder, the build in lib/ beside bin/. Both are looked up beside the executable.
// The executable's run path names the installed folder as well, but the loader applies it
// only to calls that come from the executable itself, and a call routed through an
// interposed dlopen (sanitizers, preloaded tools) or made from a shared library would miss
// it. Windows likewise looks in the program's folder first.
std::vector<std::string> besideProgram(const std::string& name) {
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    const std::filesystem::path folder =
        std::filesystem::path(std::string(path, static_cast<std::size_t>(n))).parent_path();
    return {(folder / PELMORA_PRIVATE_LIBDIR_FROM_BIN / name).lexically_normal().string(),
            (folder.parent_path() / "lib" / name).string()};
}

}  // namespace

ModuleHandle loadLibrary(const std::string& name) {
    // RTLD_LOCAL keeps the library's symbols out of the global namespace: a test library
    // and the real one may both be loaded without one resolving against the other.
    constexpr int kFlags = RTLD_NOW | RTLD_LOCAL;
    if (name.find('/') == std::string::npos) {
        for (const std::string& local : besideProgram(name)) {
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
