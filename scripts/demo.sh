#!/usr/bin/env bash
# Builds the tool and runs its main job on the bundled example: a local web server serves
# examples/www/pocasi.txt, the tool fetches it into a file, and the file is shown.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh posix
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target vrk vrk_http_fixture

demo=$(mktemp -d)
cleanup() {
  [[ -n "${server:-}" ]] && kill "$server" 2>/dev/null || true
  rm -rf "$demo"
}
trap cleanup EXIT
cp build/default/app/vrk "$demo/"
cp examples/vrk.ini "$demo/"

mkfifo "$demo/port"
build/default/tools/vrk_http_fixture examples/www 0 --ignore-stdin >"$demo/port" &
server=$!
read -r _ port <"$demo/port"

url="http://127.0.0.1:$port/pocasi.txt"
echo "\$ vrk $url W vysledek.txt"
(cd "$demo" && ./vrk "$url" W vysledek.txt)
echo "\$ cat vysledek.txt"
cat "$demo/vysledek.txt"
