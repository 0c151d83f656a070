# Cross toolchain for 32-bit Windows (i686), the launcher as shipped to most.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KWO_MINGW_TRIPLET i686-w64-mingw32)
# Debian's wine script picks the 32-bit loader.
set(KWO_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
