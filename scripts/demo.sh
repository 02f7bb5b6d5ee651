#!/usr/bin/env bash
# The demo on a fresh Debian 12 machine: installs what is missing, builds the reference host and
# walks the factory from a product structure to the work report query (korvane demo). Arguments go to
# `korvane demo` (for example --db factory.db to keep the database).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build/gcc -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build build/gcc -j "$(nproc)" --target korvane_cli
./build/gcc/korvane demo "$@"
