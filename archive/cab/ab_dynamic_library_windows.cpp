#include <windows.h>

#include <string>

#include "archive/cab/ab_code_page.h"
#include "archive/cab/ab_dynamic_library.h"

namespace pelmora::dynlib {

ModuleHandle loadLibrary(const std::string& name) {
    // The name is UTF-8 text: it goes to the wide-character loader, so that a library in a
    // folder whose name the ANSI code page cannot spell still loads. The loader wants "\".
    std::u16string wide = codepage::utf8ToUtf16(name);
    for (char16_t& c : wide) {
        if (c == u'/') c = u'\\';
    }
    return reinterpret_cast<ModuleHandle>(
        LoadLibraryW(reinterpret_cast<const wchar_t*>(wide.c_str())));
}

void* findSymbol(ModuleHandle module, const char* symbol) {
    if (!module) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), symbol));
}

const char* cabinetLibraryName() {
    return "cabinet.dll";
}

}  // namespace pelmora::dynlib
