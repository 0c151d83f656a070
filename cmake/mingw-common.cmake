# The part shared by the mingw-w64 toolchain files. The including file sets
# KWO_MINGW_TRIPLET (for example i686-w64-mingw32) and KWO_WINE_LOADER (the
# Wine loader that runs programs of that architecture) first.
#
# Debian's mingw-w64 compilers with the posix thread model (the standard
# library's threads and mutexes, which GoogleTest needs). Test programs run
# under Wine.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${KWO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KWO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${KWO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KWO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${KWO_WINE_LOADER})

# Link policy for every Windows binary: libstdc++, libgcc and winpthread are
# linked in, so a program imports only system DLLs and msvcrt. No time stamp
# in the headers, so that the same sources always link to the same bytes, and
# Release programs stripped by the linker (no strip run afterwards, which
# would write the current time into the header).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libstdc++ -static-libgcc -Wl,--no-insert-timestamp")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
