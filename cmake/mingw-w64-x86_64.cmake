# Cross-builds the Windows programs (64-bit) on Debian with g++-mingw-w64-x86-64-posix, whose
# threads are the POSIX ones that std::thread and GoogleTest expect.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Headers and libraries come from the mingw tree and from TIDELIN_WINDOWS_PREFIX (GoogleTest
# built with this same file); programs run on the build machine come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TIDELIN_WINDOWS_PREFIX})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TIDELIN_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ and threads runtimes are linked in, so a program runs on any Windows (and in a
# fresh Wine prefix) without the mingw DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# No system library beyond the kernel's unless a target asks for it: nothing of the window
# system reaches a program by default.
set(CMAKE_C_STANDARD_LIBRARIES "-lkernel32" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "-lkernel32" CACHE STRING "" FORCE)

# Test programs built here run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
