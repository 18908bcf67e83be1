# The 32-bit x86 build on an x86-64 Debian machine, with the :i386 packages
# that scripts/install-deps installs:
#   cmake -S . -B build-i386 --toolchain cmake/i386.cmake
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# pkg-config finds the i386 libraries' .pc files, not the machine's own.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
