#!/usr/bin/env bash
# Runs every test: the portable parts natively under the sanitizers and the fuzzers, then
# everything built with the MinGW-w64 cross compiler under Wine, and the end-to-end scripts
# with the program built by clang.
set -euo pipefail
cd "$(dirname "$0")"
source cmake/prepare.sh

install_missing_packages

# The portable parts first, natively under the sanitizers, then each fuzz target for
# FUZZ_SECONDS (30; 0 skips them); the Wine tests come last, so ctest's closing lines count
# them.
build_native_checked
ctest --test-dir "$NATIVE_BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 300
if [ "${FUZZ_SECONDS:-30}" -gt 0 ]; then
    tests/fuzz/run.sh "$NATIVE_BUILD_DIR" "${FUZZ_SECONDS:-30}"
fi

build_everything
build_with_clang
make_wine_prefix wineprefix null
# One Wine server for the whole run: every test process starts in about half a second. It
# may already be running from an earlier run that was interrupted.
wineserver -p </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Wine's own service processes start with the first program and would inherit its output,
# holding that test open until the run ends; an idle program keeps them up from the start.
with_fixed_layout wine notepad </dev/null >/dev/null 2>&1 &
sleep 2
# The program built with clang runs the end-to-end scripts first.
ctest --test-dir "$CLANG_BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 180 \
      -R '^(Script|SceneHost)\.'
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 180
