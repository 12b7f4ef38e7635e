#!/usr/bin/env bash
# Installs every package the build, the tests, the fuzzers and the benchmarks need, from Debian's
# registry. Skips what is already installed and refreshes the package lists at most once.
set -euo pipefail

packages=(
  cmake ninja-build make ccache g++ clang libclang-rt-14-dev clang-format clang-tidy
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine64 xvfb xauth
  lzma-dev liblzma-dev xz-utils zlib1g-dev libminizip-dev binutils-source
  googletest libgtest-dev libbenchmark-dev libssl-dev openssl osslsigncode
  python3 python3-yaml
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
