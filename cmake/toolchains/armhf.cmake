# Cross-compiling for 32-bit ARM Linux, hard float (Debian armhf), with
# g++-arm-linux-gnueabihf against the multiarch armhf -dev packages:
#   cmake -S . -B build/armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/armhf.cmake
# The NEON kernels are built with -mfpu=neon and chosen at run time only
# where the kernel reports NEON (ZORVA_NEON=OFF leaves them out).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(ZORVA_CROSS_TRIPLE arm-linux-gnueabihf)
set(ZORVA_QEMU qemu-arm-static qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/Cross.cmake)
