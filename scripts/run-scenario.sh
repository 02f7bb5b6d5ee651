#!/usr/bin/env bash
# Runs one scenario script of the scripted host against a fresh copy of the demo factory.
# Usage: run-scenario.sh KORVANE_EXECUTABLE SCRIPT.jsonl
# The answers are printed; the exit status is the script's (non-zero when any step failed).
set -euo pipefail
korvane=$1
script=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-scenario-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$korvane" init --db "$work/factory.db" --demo > /dev/null
mkdir -p "$work/user"
"$korvane" script --db "$work/factory.db" --folder "$work/user" "$script"
