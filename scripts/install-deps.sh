#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: when
# everything is present it only runs a few dpkg queries.
#
# It copes with a mirror caught mid-sync: a failed index is retried a few
# times and then left as it is, and an installation that apt refuses because
# the amd64 and i386 twins of a library differ in version is retried with the
# release's own suite preferred (-t CODENAME), which gives both the same
# version. wine32 is wanted but optional: without it the suite runs on 64-bit
# Wine alone.
set -euo pipefail

required=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev zlib1g-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 xvfb xauth x11-utils
  osslsigncode openssl
)
optional=(wine32:i386)
# A failed attempt at the optional packages is not repeated for a day, so that
# a host without them stays quick.
optional_mark=/var/cache/kwo-warden-setup/optional-unavailable

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for p in "${required[@]}"; do installed "$p" || missing+=("$p"); done
missing_optional=()
for p in "${optional[@]}"; do installed "$p" || missing_optional+=("$p"); done
if [ ${#missing_optional[@]} -gt 0 ] && [ ${#missing[@]} -eq 0 ] &&
   [ -n "$(find "$optional_mark" -mmin -1440 2>/dev/null)" ]; then
  missing_optional=()
fi
[ ${#missing[@]} -gt 0 ] || [ ${#missing_optional[@]} -gt 0 ] || exit 0

export DEBIAN_FRONTEND=noninteractive
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386

# apt-get update: a few tries; then go on with whatever lists are there.
for try in 1 2 3; do
  if apt-get update -qq; then break; fi
  if [ $try -eq 3 ]; then
    echo "install-deps: apt-get update failed for some index; going on with the lists there are" >&2
  else
    sleep $((try * 5))
  fi
done

# apt_install PACKAGE...: one transaction; on failure once more with the
# release's own suite preferred.
apt_install() {
  apt-get install -y -qq --no-install-recommends "$@" >/dev/null && return 0
  [ -n "$codename" ] || return 1
  echo "install-deps: retrying with the $codename suite preferred" >&2
  apt-get install -y -qq --no-install-recommends -t "$codename" "$@" >/dev/null
}

# twin_pins PACKAGE...: when apt cannot install the i386 packages because an
# amd64 library is already installed at a version (often from the security
# suite) that its i386 twin does not have yet, prints NAME:amd64=VERSION for
# each such library, VERSION being its twin's, so that both can agree.
twin_pins() {
  local pins=() out name ver round
  for round in 1 2 3 4 5 6 7 8; do
    out=$(apt-get install -s --no-install-recommends -t "$codename" "$@" "${pins[@]}" 2>&1) && break
    name=$(sed -n 's/.*Depends: \([^ :]*\):i386 .*not going to be installed.*/\1/p' <<<"$out" | head -n 1)
    [ -n "$name" ] || break
    ver=$(apt-cache policy "$name:i386" | awk '/Candidate:/ { print $2 }')
    [ -n "$ver" ] && [ "$ver" != "(none)" ] || break
    case " ${pins[*]} " in *" $name:amd64=$ver "*) break ;; esac
    pins+=("$name:amd64=$ver")
  done
  printf '%s\n' "${pins[@]}"
}

# install_optional PACKAGE...: as apt_install, and once more with the amd64
# twins aligned when apt holds them against the i386 packages.
install_optional() {
  apt_install "$@" 2>/dev/null && return 0
  local pins
  mapfile -t pins < <(twin_pins "$@")
  [ ${#pins[@]} -gt 0 ] || return 1
  echo "install-deps: aligning amd64 libraries with their i386 twins: ${pins[*]}" >&2
  apt-get install -y -qq --no-install-recommends --allow-downgrades -t "$codename" "$@" "${pins[@]}" >/dev/null
}

# Everything in one transaction first: then both architectures of a library
# come from the same suite.
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]} ${missing_optional[*]}"
  if [ ${#missing_optional[@]} -gt 0 ] && apt_install "${missing[@]}" "${missing_optional[@]}" 2>/dev/null; then
    missing_optional=()
  else
    apt_install "${missing[@]}" || { echo "install-deps: could not install ${missing[*]}" >&2; exit 1; }
  fi
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  if install_optional "${missing_optional[@]}"; then
    rm -f "$optional_mark"
  else
    echo "install-deps: ${missing_optional[*]} could not be installed; going on with 64-bit Wine only" >&2
    mkdir -p "$(dirname "$optional_mark")" && touch "$optional_mark"
  fi
fi
