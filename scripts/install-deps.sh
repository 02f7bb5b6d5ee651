#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, those that are missing only.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev
          libsqlite3-dev nlohmann-json3-dev libfmt-dev libcli11-dev libbenchmark-dev
          pkgconf libcpp-httplib-dev libsodium-dev
          chromium chromium-driver python3-selenium fonts-noto-cjk
          libpq-dev postgresql)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
