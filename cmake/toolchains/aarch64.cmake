# Cross-compiling for 64-bit ARM Linux with Debian's cross compiler
# (g++-aarch64-linux-gnu) against the multiarch arm64 -dev packages:
#   cmake -S . -B build/aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64.cmake
# Programs built here (tests, tools) run on this machine under qemu-user when
# it is installed: ctest and test discovery go through the emulator below.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(ZORVA_CROSS_TRIPLE aarch64-linux-gnu)
set(ZORVA_QEMU qemu-aarch64-static qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/Cross.cmake)
