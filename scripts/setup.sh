#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: installs what is missing (Debian 12, as root), then
# configures and builds. Fast when everything is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev-tools libqscintilla2-qt6-dev libgl-dev
  fonts-liberation2 xvfb xauth
  libgtest-dev libgmock-dev googletest libbenchmark-dev liblua5.4-dev sqlite3 libsqlite3-dev
  python3 python3-dbf python3-dbfread dbview gdal-bin
  clang libclang-rt-14-dev strace poppler-utils
)

install_missing_packages() {
  local missing=()
  local package
  for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# configure_and_build BUILD_DIR [cmake options...]
# Configures every time (quick when nothing changed), so that a build folder made with other
# options gets the ones given here.
configure_and_build() {
  local build_dir=$1
  shift
  cmake -S "$ROOT" -B "$build_dir" -G Ninja "$@" >/dev/null
  cmake --build "$build_dir" -- -j"$(nproc)"
}

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ROOT
