# Cross build for 64-bit ARM (arm64) on a Debian amd64 machine with the arm64
# packages installed beside the native ones (multiarch):
#
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#
# Libraries and CMake files come from /usr/lib/aarch64-linux-gnu; Qt's code
# generators (moc, rcc) are the machine's own, found through QT_HOST_PATH.
# Tests run under qemu-user; with no binfmt_misc a test that starts one of the
# programs starts it through VANDRIX_EMULATOR (see CMakeLists.txt).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(VANDRIX_DEBIAN_ARCHITECTURE arm64)

# Search the arm64 folders for libraries and packages, the machine for programs.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

set(QT_HOST_PATH /usr CACHE PATH "Prefix of the native Qt tools")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake
    CACHE PATH "CMake files of the native Qt tools")

# zlib's headers are the same on every processor; the arm64 development
# package would pull in the arm64 C headers and, with them, an upgrade of the
# machine's kernel headers. The arm64 run-time library (a dependency of Qt)
# links as well.
set(VANDRIX_ARM64_ZLIB /usr/lib/aarch64-linux-gnu/libz.so.1)
if(NOT EXISTS /usr/lib/aarch64-linux-gnu/libz.so AND EXISTS ${VANDRIX_ARM64_ZLIB})
  set(ZLIB_LIBRARY ${VANDRIX_ARM64_ZLIB} CACHE FILEPATH "arm64 zlib")
endif()

# The arm64 C library of multiarch lives at the usual paths, so qemu needs no -L.
find_program(VANDRIX_QEMU qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VANDRIX_QEMU})
