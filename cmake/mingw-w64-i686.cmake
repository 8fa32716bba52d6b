# Cross-compiling for 32-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-i686-posix).
set(mingw_processor i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
