set(MINGW_TRIPLE i686-w64-mingw32)
set(MINGW_PROCESSOR X86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
