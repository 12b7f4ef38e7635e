set(ZUVA_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# No emulator: this kernel cannot run 32-bit programs, so the win32 build is linked but never run.
