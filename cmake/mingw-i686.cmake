# CMake toolchain file: 32-bit Windows (PE32, i686) with Debian's MinGW-w64
# cross compilers (packages gcc-mingw-w64-i686, g++-mingw-w64-i686,
# binutils-mingw-w64-i686).
#
#   cmake -S . -B build-win32 \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
#     -DOPENSSL_ROOT_DIR="$(scripts/build-libcrypto-mingw.sh | tail -n 1)" \
#     -DOPENSSL_USE_STATIC_LIBS=ON
#
# Libraries are linked statically (libgcc, libstdc++, and winpthread should
# the POSIX-thread compiler variant be the selected alternative), so the DLL
# imports nothing but Windows system DLLs.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(MINGW_TRIPLET i686-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_TRIPLET}-windres REQUIRED)
find_program(CMAKE_AR NAMES ${MINGW_TRIPLET}-gcc-ar ${MINGW_TRIPLET}-ar)
find_program(CMAKE_RANLIB NAMES ${MINGW_TRIPLET}-gcc-ranlib ${MINGW_TRIPLET}-ranlib)

# Windows executables built here (tests, tools) run under Wine when it exists.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(MINGW_WINE_PROGRAM NAMES wine)
  if(MINGW_WINE_PROGRAM)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${MINGW_WINE_PROGRAM}")
  endif()
endif()

# Look for headers, libraries and packages only in the cross prefix and in
# the OpenSSL prefix; programs (perl, python, ...) come from the build host.
set(CMAKE_FIND_ROOT_PATH "/usr/${MINGW_TRIPLET}")
if(DEFINED OPENSSL_ROOT_DIR AND NOT OPENSSL_ROOT_DIR STREQUAL "")
  list(APPEND CMAKE_FIND_ROOT_PATH "${OPENSSL_ROOT_DIR}")
elseif(DEFINED ENV{OPENSSL_ROOT_DIR} AND NOT "$ENV{OPENSSL_ROOT_DIR}" STREQUAL "")
  list(APPEND CMAKE_FIND_ROOT_PATH "$ENV{OPENSSL_ROOT_DIR}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host's pkg-config would report Linux libraries.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/${MINGW_TRIPLET}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

set(_mingw_static_link "-static-libgcc -static-libstdc++ -static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_mingw_static_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_mingw_static_link}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_mingw_static_link}")
unset(_mingw_static_link)
