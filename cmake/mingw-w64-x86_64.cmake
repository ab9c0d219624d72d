# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix threads variant, which
# std::thread and std::mutex need). Test programs run under Wine through CTest's emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PELMORA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PELMORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELMORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PELMORA_MINGW_TRIPLE}-windres)

# Libraries are looked up only in the MinGW tree and in what bootstrap built for it (given
# through CMAKE_PREFIX_PATH); programs run on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${PELMORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GoogleTest and bzip2 built for Windows by scripts/bootstrap-windows.
if(PELMORA_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${PELMORA_WINDOWS_DEPS})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PELMORA_WINDOWS_DEPS)

# Test programs run under Wine, in the build's own quiet prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
