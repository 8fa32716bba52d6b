# Cross-compiling for 64-bit Windows with Debian's clang and lld, against the same MinGW-w64
# headers and libraries and GCC's libstdc++ as the GCC toolchain (g++-mingw-w64-x86-64-posix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_SYSROOT /usr/x86_64-w64-mingw32)
# Clang finds no GCC for the target on its own: libstdc++ is given by hand.
set(gcc_dir /usr/lib/gcc/x86_64-w64-mingw32/12-posix)
set(CMAKE_CXX_FLAGS_INIT "-isystem ${gcc_dir}/include/c++ \
  -isystem ${gcc_dir}/include/c++/x86_64-w64-mingw32 -isystem ${gcc_dir}/include/c++/backward")
# The static libstdc++ of the posix thread model needs winpthread, which g++ adds by itself.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc_dir} -lwinpthread")
endforeach()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
