# Cross toolchain: 32-bit Windows (i686-w64-mingw32, posix threads), the classic target.
set(TQ_MINGW_TRIPLE i686-w64-mingw32)
set(TQ_WIDL_MACHINE -m32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
set(CMAKE_SYSTEM_PROCESSOR x86)
