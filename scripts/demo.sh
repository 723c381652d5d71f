#!/usr/bin/env bash
# Builds the tool and runs it on the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh posix
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target vrk

demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
cp build/default/app/vrk "$demo/"
cp examples/vrk.ini "$demo/"
echo "\$ vrk ver"
"$demo/vrk" ver
