# What the ARM toolchain files share: Debian's cross compilers for
# ZORVA_CROSS_TRIPLE, libraries and pkg-config files from the multiarch
# folders (/usr/lib/<triple>), and qemu-user as the emulator that runs the
# programs built (its sysroot: the cross compiler's /usr/<triple>).
set(CMAKE_C_COMPILER ${ZORVA_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZORVA_CROSS_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${ZORVA_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH /usr/${ZORVA_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# pkg-config reads the target's .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${ZORVA_CROSS_TRIPLE}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
find_program(ZORVA_QEMU_PROGRAM NAMES ${ZORVA_QEMU})
if(ZORVA_QEMU_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORVA_QEMU_PROGRAM} -L /usr/${ZORVA_CROSS_TRIPLE})
endif()
