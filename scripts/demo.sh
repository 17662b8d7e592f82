#!/usr/bin/env bash
# Builds Rimo1, starts the TDS test server with a generated demo herd, writes the herd settings
# file beside the program and starts the program connected to it. The server stops with the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
ROWS=${DEMO_ROWS:-20000}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target rimo1 tds-server herdgen make-wtimes

RUN_DIR=$PWD/demo-run
rm -rf "$RUN_DIR"
mkdir -p "$RUN_DIR/data"
PASSWORD=demo-sa-password
"$BUILD_DIR/tools/herdgen/herdgen" --data-dir "$RUN_DIR/data" --database herd --rows "$ROWS"

"$BUILD_DIR/tools/tds-server/tds-server" --port 0 --data-dir "$RUN_DIR/data" --sa-password "$PASSWORD" \
    >"$RUN_DIR/server.out" 2>"$RUN_DIR/server.log" &
SERVER_PID=$!
trap 'kill $SERVER_PID 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
    grep -q '^PORT ' "$RUN_DIR/server.out" 2>/dev/null && break
    sleep 0.1
done
PORT=$(awk '/^PORT /{print $2}' "$RUN_DIR/server.out")
[ -n "$PORT" ] || { echo "the test server did not start:"; cat "$RUN_DIR/server.log"; exit 1; }
echo "TDS test server on 127.0.0.1:$PORT with the demo herd ($ROWS recordings)"

# The program reads its settings file from its own folder.
cp "$BUILD_DIR/app/rimo1" "$RUN_DIR/rimo1"
"$BUILD_DIR/app/make-wtimes/make-wtimes" "$PASSWORD" "127.0.0.1:$PORT" herd sa "$RUN_DIR/WTimes.DLL"
if [ -z "${DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display: running under Xvfb"
    exec_cmd=(xvfb-run -a -s "-screen 0 1280x1024x24" "$RUN_DIR/rimo1")
else
    exec_cmd=("$RUN_DIR/rimo1")
fi
"${exec_cmd[@]}"
