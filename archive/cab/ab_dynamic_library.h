// Run-time loading of a shared library by name, behind one small interface so that the
// cabinet binding reads the same on every platform.
#pragma once

#include <string>

namespace pelmora::dynlib {

using ModuleHandle = void*;

// Loads a library named without a folder from the program's own library folder (on POSIX
// ../lib beside the executable; on Windows the program's folder comes first by itself), else
// from the system's normal search path; null when it cannot be loaded. A library loaded here
// stays loaded for the life of the process. The name is UTF-8 text; a name with a folder is
// loaded from there only.
ModuleHandle loadLibrary(const std::string& name);

// The address of an exported symbol, or null when the library does not export it.
void* findSymbol(ModuleHandle module, const char* symbol);

// The platform's file name of the cabinet library ("cabinet.dll" or "libcabinet.so").
const char* cabinetLibraryName();

// The environment variable that names another cabinet library (a path or a name) to bind to
// instead of the platform's own: how the same program and tests run against either library.
inline constexpr char16_t kCabinetLibraryVariable[] = u"PELMORA_CABINET_LIBRARY";

}  // namespace pelmora::dynlib
