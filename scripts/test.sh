#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh
scripts/build.sh
cmake --build build --target format-check
export QT_QPA_PLATFORM=offscreen
# The shared-mode tests (label "server") talk to a private Firebird server on 127.0.0.1 with an
# administrator password of its own; they skip, saying so, only when none can be started.
if scripts/firebird-server.sh start >/dev/null; then
  trap '"$root/scripts/firebird-server.sh" stop' EXIT
  set -a
  # shellcheck source=/dev/null
  . build/firebird-server/server.env
  set +a
else
  echo "test.sh: no Firebird server could be started; the server tests will skip" >&2
fi
cd build
ctest --output-on-failure -j2 "$@"
