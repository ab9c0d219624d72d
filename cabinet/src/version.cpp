// The version queries: they answer the version this library was built as, which a program
// compares with the CABINET_VERSION_* macros of the headers it was compiled against.
#include "cabinet.h"

extern "C" {

CABINET_API const char* CABINET_CC CabinetVersionString(void) {
    return CABINET_VERSION_STRING;
}

CABINET_API unsigned CABINET_CC CabinetVersionNumber(void) {
    return CABINET_VERSION_NUMBER;
}

}  // extern "C"
