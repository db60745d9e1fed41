# Cross toolchain: 64-bit Windows (x86_64-w64-mingw32, posix threads).
set(TQ_MINGW_TRIPLE x86_64-w64-mingw32)
set(TQ_WIDL_MACHINE -m64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
