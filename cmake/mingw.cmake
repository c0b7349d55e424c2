# Cross build for Windows with Debian's MinGW-w64: 32-bit by default
# (g++-mingw-w64-i686); -DUNCLASH_MINGW_ARCH=x86_64 for 64-bit
# (g++-mingw-w64-x86-64).
set(UNCLASH_MINGW_ARCH "i686" CACHE STRING "i686 or x86_64")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${UNCLASH_MINGW_ARCH})
set(CMAKE_C_COMPILER ${UNCLASH_MINGW_ARCH}-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER ${UNCLASH_MINGW_ARCH}-w64-mingw32-g++)
set(CMAKE_RC_COMPILER ${UNCLASH_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${UNCLASH_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# One executable that needs no MinGW runtime beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
