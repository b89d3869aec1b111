# 32-bit Windows console programs from Debian's g++-mingw-w64-i686, run under
# Wine wherever CMake or CTest has to start one (tests, test discovery).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

# The POSIX thread model: GoogleTest needs std::mutex, which the win32 model
# of this compiler lacks. The programs start no thread; linked statically,
# the model adds no DLL.
set(PELLARN_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${PELLARN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELLARN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PELLARN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PELLARN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every double result rounded to 64 bits, as on the 64-bit builds: the x87
# unit would keep the clock's intermediate results in 80 bits.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# Everything linked in statically, so that an .exe needs no DLL beside it
# beyond the system's own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Without Wine the programs still build; only the tests need it.
find_program(PELLARN_WINE wine)
if(PELLARN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PELLARN_WINE})
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
endif()
