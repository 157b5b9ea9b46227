#!/usr/bin/env bash
# Builds the program and starts it on the user's default registry.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target karvo
# On a Wine prefix (KARVO_REGISTRY=wine or wine:PREFIX) the registry comes from a Windows helper.
case "${KARVO_REGISTRY:-}" in
    wine|wine:*) scripts/wine-helper.sh ;;
esac
exec build/default/bin/karvo "$@"
