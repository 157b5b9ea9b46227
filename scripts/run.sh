#!/usr/bin/env bash
# Builds the program and starts it on the user's default registry.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target karvo
exec build/default/bin/karvo "$@"
