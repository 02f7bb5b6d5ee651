#!/usr/bin/env bash
# Installs a build of Korvane into a temporary prefix and proves the installed package works on
# its own: every installed header compiles alone, nothing but headers and the package files is
# installed, and a small consumer project finds the package with find_package(Korvane), links
# Korvane::korvane and runs.
#
# Usage: check-install.sh CMAKE BUILD_DIR CONSUMER_SOURCE_DIR CXX_COMPILER GENERATOR [CONFIG]
# Exits 0 when everything holds; otherwise prints what failed and exits non-zero.
set -euo pipefail

if [[ $# -lt 5 ]]; then
  echo "usage: $0 CMAKE BUILD_DIR CONSUMER_SOURCE_DIR CXX_COMPILER GENERATOR [CONFIG]" >&2
  exit 2
fi
cmake_bin=$1
build_dir=$2
consumer_dir=$3
cxx=$4
generator=$5
config=${6:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

config_args=()
if [[ -n $config ]]; then config_args=(--config "$config"); fi

fail() {
  echo "check-install: $*" >&2
  exit 1
}

# Runs a command quietly, showing its output only when it fails.
quiet() {
  local log=$work/step.log
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    fail "failed: $*"
  fi
}

quiet "$cmake_bin" --install "$build_dir" --prefix "$prefix" "${config_args[@]}"

include_root=$prefix/include/korvane
[[ -f $include_root/registration/registry.h ]] || fail "registration/registry.h not installed"
[[ -f $include_root/registration/entry_points.h ]] || fail "registration/entry_points.h not installed"
[[ -f $prefix/lib/cmake/Korvane/KorvaneConfig.cmake || -n $(find "$prefix" -name KorvaneConfig.cmake) ]] ||
  fail "KorvaneConfig.cmake not installed"

strays=$(find "$include_root" -type f ! -name '*.h')
[[ -z $strays ]] || fail "not a header: $strays"
tests=$(find "$include_root" -name '*_test*' -o -name 'test_*')
[[ -z $tests ]] || fail "test files installed: $tests"
test_users=$(grep -rlE '#include <(gtest|gmock)/' "$include_root" || true)
[[ -z $test_users ]] || fail "installed headers need the test framework: $test_users"

# Each header must compile on its own against the installed tree only.
while IFS= read -r header; do
  relative=${header#"$include_root"/}
  printf '#include "%s"\n' "$relative" >"$work/one_header.cpp"
  if ! "$cxx" -std=c++20 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -I"$include_root" \
    "$work/one_header.cpp" >"$work/header.log" 2>&1; then
    cat "$work/header.log" >&2
    fail "installed header is not self-contained: $relative"
  fi
done < <(find "$include_root" -name '*.h' | sort)

# The consumer must find this prefix's package, not one installed elsewhere.
quiet "$cmake_bin" -S "$consumer_dir" -B "$work/consumer" -G "$generator" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF
found=$(sed -n 's/^Korvane_DIR:PATH=//p' "$work/consumer/CMakeCache.txt")
[[ $found == "$prefix"/* ]] || fail "consumer found Korvane at '$found', not in $prefix"
quiet "$cmake_bin" --build "$work/consumer" "${config_args[@]}"

consumer=$(find "$work/consumer" -type f -name korvane_consumer -perm -u+x | head -n 1)
[[ -n $consumer ]] || fail "consumer executable not built"
"$consumer" || fail "consumer failed"
echo "check-install: installed package works"
