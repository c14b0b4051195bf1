# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix thread
# model: the default win32 model has no std::thread / std::mutex).
#   cmake --preset mingw     (CMakePresets.json sets this file and the emulator)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_bexo_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${_bexo_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_bexo_mingw}-g++-posix)
set(CMAKE_RC_COMPILER  ${_bexo_mingw}-windres)
# The "-posix" suffix hides the tool prefix from CMake's binutils search.
set(CMAKE_AR      ${_bexo_mingw}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB  ${_bexo_mingw}-ranlib CACHE FILEPATH "")
set(CMAKE_NM      ${_bexo_mingw}-nm CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${_bexo_mingw}-objdump CACHE FILEPATH "")
set(CMAKE_STRIP   ${_bexo_mingw}-strip CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${_bexo_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run the .exe files through Wine (cmake/wine/wine-run.sh). The preset
# sets this too; the default here keeps a plain -DCMAKE_TOOLCHAIN_FILE=... build usable.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine/wine-run.sh)
endif()
