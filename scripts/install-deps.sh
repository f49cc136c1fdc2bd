#!/usr/bin/env bash
# Installs the Debian 12 packages that Corvane needs to build, run and test. Run as root (or with
# sudo available); does nothing when every package is already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-private-dev qt6-qpa-plugins libgl-dev
  libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev librapidcheck-dev
  poppler-utils fonts-dejavu-core fonts-liberation
  xvfb xauth dbus-x11 at-spi2-core
  clang libclang-rt-14-dev llvm
)

installed=$(dpkg-query -W -f='${db:Status-Status}\n' "${packages[@]}" 2>/dev/null |
            grep -c '^installed$' || true)
if [ "$installed" -eq "${#packages[@]}" ]; then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps.sh: run this as root (apt-get needs it)" >&2
    exit 1
  fi
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${packages[@]}"
