#!/usr/bin/env bash
# Writes THIRD-PARTY-NOTICES.txt to standard output: which components the
# shipped programs contain, then their licence texts exactly as Debian ships
# them. Run it again after a toolchain update:
#   scripts/third-party-notices.sh > THIRD-PARTY-NOTICES.txt
# (a test compares the committed file with this script's output).
set -euo pipefail

# section TITLE FILE PACKAGE: one licence text with a heading. The package's
# version is left out: a security update that changes no licence text must
# not make the file out of date.
section() {
  local title=$1 file=$2 package=$3
  [ -r "$file" ] || { echo "third-party-notices: $file is missing (install $package)" >&2; exit 1; }
  printf '\n%s\n%s\n%s\n%s\n\n' "$rule" "$title" "   $file (Debian package $package)" "$rule"
  cat "$file"
}
rule=$(printf '=%.0s' {1..78})

cat <<'HEAD'
Third-party notices for Kwo Warden Setup
========================================

Kwo Warden Setup itself is under the MIT licence (LICENSE). The programs of
a release also contain code of other projects, built with the Debian 12
(bookworm) toolchain:

  KwoWardenSetup-stub.exe, KwoWardenSetup-stub-x64.exe, kwz.exe, and every
  setup program stamped from a stub (all linked statically):
    - the mingw-w64 runtime: startup code, libmingw32, libmingwex and the
      import libraries of the Windows DLLs (section 1)
    - winpthreads, the mingw-w64 threads library (section 1)
    - libstdc++, the GNU C++ library (sections 2 and 3)
    - libgcc and libgcc_eh, the GCC support libraries (sections 2 and 3)

  kwz for Linux (linked dynamically with the system's GNU C library,
  libstdc++ and libgcc, which are not part of the release):
    - the GNU C library's startup files (section 4)
    - libgcc's startup files and libstdc++'s inline and template code
      (sections 2 and 3)

libstdc++ and libgcc are under the GNU General Public License version 3 with
the GCC Runtime Library Exception 3.1 (in section 2), which allows programs
compiled by GCC that contain this code to be distributed under terms of
one's choice. Sections 1, 2 and 4 are the copyright files of the Debian
packages named in their headings, section 3 the licence that section 2
refers to, all unchanged.
HEAD
section "1. mingw-w64 runtime and winpthreads" /usr/share/doc/mingw-w64-common/copyright mingw-w64-common
section "2. GCC: libstdc++ and libgcc, with the GCC Runtime Library Exception" \
  /usr/share/doc/gcc-mingw-w64-base/copyright gcc-mingw-w64-base
section "3. GNU General Public License, version 3" /usr/share/common-licenses/GPL-3 base-files
section "4. GNU C library" /usr/share/doc/libc6/copyright libc6
