#!/usr/bin/env bash
# The include-rule check must catch a wrong-way include: builds a small tree with one
# include of each forbidden kind and expects the check to fail naming each of them, then
# expects a clean tree to pass.
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

mkdir -p "$tree/src/ui" "$tree/src/tables" "$tree/src/store" "$tree/src/app"
echo '#include "common/Settings.h"' >"$tree/src/ui/Good.cpp"
echo '#include "app/TMainScreen.h"' >"$tree/src/app/Main.cpp"
if ! "$check" "$tree" >/dev/null 2>&1; then
    echo "a clean tree was refused" >&2
    exit 1
fi

echo '#include "app/TMainScreen.h"' >"$tree/src/ui/WrongWay.cpp"
echo '#include <QString>' >"$tree/src/tables/UsesQt.cpp"
echo '#include "dialogs/TPhoneBook.h"' >"$tree/src/store/Upwards.h"
if out=$("$check" "$tree" 2>&1); then
    echo "wrong includes were accepted" >&2
    exit 1
fi
for name in WrongWay.cpp UsesQt.cpp Upwards.h; do
    if ! grep -q "$name" <<<"$out"; then
        echo "the check did not name $name:" >&2
        echo "$out" >&2
        exit 1
    fi
done
echo "check-layers self-test passed"
