#!/usr/bin/env bash
# Builds the .reg reader's libFuzzer target with clang and runs it for a bounded time on a copy of
# the seed corpus. Any crash, hang or sanitizer report makes the script fail; the input that caused
# it is kept in build/fuzz/artifacts/. FUZZ_SECONDS sets the running time (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target regfile_fuzz

# The fuzz target keeps its store in the temp folder: a private one, memory-backed when possible,
# removed afterwards even when a crash kept the target from cleaning up.
shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm="${TMPDIR:-/tmp}"
work="$(mktemp -d -p "$shm")"
trap 'rm -rf "$work"' EXIT
cp -R src/regfile/fuzz/corpus "$work/corpus"
mkdir -p "$work/tmp" build/fuzz/artifacts
export TMPDIR="$work/tmp"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
build/fuzz/bin/regfile_fuzz -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix=build/fuzz/artifacts/ -print_final_stats=1 \
    -dict=src/regfile/fuzz/regfile.dict "$work/corpus"
