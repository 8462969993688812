# Cross-compiles for Windows with MinGW-w64. The including file sets
# LUMPWRIGHT_MINGW_TRIPLE (x86_64-w64-mingw32 or i686-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${LUMPWRIGHT_MINGW_PROCESSOR})

# The POSIX thread model: GCC 12's win32 one has no std::mutex, which
# GoogleTest needs. The programs themselves start no threads.
set(CMAKE_C_COMPILER ${LUMPWRIGHT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMPWRIGHT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMPWRIGHT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LUMPWRIGHT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs ship as single files: no MinGW runtime DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and the test discovery run the Windows programs under Wine.
find_program(LUMPWRIGHT_WINE wine)
if(LUMPWRIGHT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMPWRIGHT_WINE})
endif()
