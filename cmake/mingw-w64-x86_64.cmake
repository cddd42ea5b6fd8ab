# Cross-builds the Windows service with mingw-w64 (posix threads, for std::thread and
# std::mutex) on a Linux host. Test programs run under Wine through tests/wine/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORVI_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORVI_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVI_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVI_MINGW_PREFIX}-windres)

# Only the target's own headers and libraries: a Linux header on the include path would
# shadow the C runtime's.
set(CMAKE_FIND_ROOT_PATH /usr/${KORVI_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program is linked statically so that it runs without the mingw runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/wine-run)
