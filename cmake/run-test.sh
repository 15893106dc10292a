#!/usr/bin/env bash
# Runs one test executable in a fresh data folder, headless, and removes the folder after.
set -u
data=$(mktemp -d "${TMPDIR:-/tmp}/quillpost-test.XXXXXX")
export QUILLPOST_DATA="$data/"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$data/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$@"
rc=$?
rm -rf "$data"
exit $rc
