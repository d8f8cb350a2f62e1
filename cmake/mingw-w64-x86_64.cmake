# Cross-compiles the Windows x64 build with the posix-threaded mingw-w64 compilers
# (GoogleTest needs std::thread) and runs the test executables under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KH_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KH_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KH_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KH_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KH_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained executable: no libgcc/libstdc++/winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(KH_WINE NAMES wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KH_WINE})
