#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kodra on the embedded default catalogue.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
# The default catalogue sits next to the program; a first start gets an empty one.
if [ ! -e build/kodra_my.gdb ]; then
  gbak -c -user KODRA build/Kodra.fbk build/kodra_my.gdb
fi
exec build/kodra "$@"
