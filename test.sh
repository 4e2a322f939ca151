#!/usr/bin/env bash
# Builds everything with the MinGW-w64 cross compiler and runs the tests under Wine.
set -euo pipefail
cd "$(dirname "$0")"
source cmake/prepare.sh

install_missing_packages
build_everything
make_wine_prefix wineprefix null
# One Wine server for the whole run: every test process starts in about half a second. It
# may already be running from an earlier run that was interrupted.
wineserver -p </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Wine's own service processes start with the first program and would inherit its output,
# holding that test open until the run ends; an idle program keeps them up from the start.
with_fixed_layout wine notepad </dev/null >/dev/null 2>&1 &
sleep 2
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 180
