#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: does nothing when all are present, updates the package lists
# at most once per run when something is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git
  libtinyxml2-dev libudev-dev qt6-base-dev libgl-dev
  # tests
  googletest libgtest-dev libgmock-dev
  umockdev libumockdev-dev
  util-linux
  # X server for tests and the demo's popups
  xvfb xauth x11-utils libx11-dev libxcb1-dev libxtst-dev
  # sanitizer runtimes
  libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y --no-install-recommends "${missing[@]}"
