# Cross toolchain for 64-bit Windows (x86_64).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KWO_MINGW_TRIPLET x86_64-w64-mingw32)
# The 64-bit loader itself: Debian's wine script would try the 32-bit one
# first, which cannot start on a host without 32-bit support.
set(KWO_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
