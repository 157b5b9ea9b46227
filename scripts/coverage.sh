#!/usr/bin/env bash
# Builds the suite with gcc --coverage (build/coverage), runs every test and prints the line
# coverage of src/: the total, then one row per folder. The tests of the Wine prefix back end run
# too, on a throw-away prefix, so its code counts as tested where it is. A failing test still gets
# its table printed, but the script then fails too. Run it as `buildslot scripts/coverage.sh`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --windows
if ! command -v gcovr >/dev/null; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends gcovr
fi

cmake --preset coverage >/dev/null
cmake --build --preset coverage
# Counters add up across runs; start from zero so the figures belong to this run only.
find build/coverage -name '*.gcda' -delete
status=0
ctest --preset coverage -j2 -LE wine || status=$?

# The Wine tests need the cross-built helper beside the programs and a prefix of their own.
cmake --preset windows >/dev/null
cmake --build --preset windows --target reghelper
mkdir -p build/coverage/bin/windows
cp build/windows/bin/windows/reghelper.exe build/coverage/bin/windows/
source scripts/throwaway-prefix.sh
KARVO_TEST_WINEPREFIX="$WINEPREFIX" ctest --preset coverage -j2 -L wine || status=$?

summary=build/coverage/coverage-summary.json
gcovr --root . --object-directory build/coverage --filter 'src/' --exclude 'src/.*/fuzz/' \
      --gcov-ignore-parse-errors --json-summary "$summary" >/dev/null
python3 - "$summary" <<'PY'
import collections, json, sys
files = json.load(open(sys.argv[1]))["files"]
folders = collections.defaultdict(lambda: [0, 0])
for f in files:
    parts = f["filename"].split("/")
    folder = "/".join(parts[:2]) if len(parts) > 2 else "src"
    folders[folder][0] += f["line_covered"]
    folders[folder][1] += f["line_total"]
def row(name, covered, total):
    pct = 100.0 * covered / total if total else 100.0
    print(f"{name:<18} {covered:>7} {total:>7} {pct:>7.1f}%")
print(f"{'folder':<18} {'covered':>7} {'lines':>7} {'cover':>8}")
for name in sorted(folders):
    row(name, *folders[name])
row("TOTAL", sum(c for c, _ in folders.values()), sum(t for _, t in folders.values()))
PY
exit "$status"
