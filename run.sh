#!/usr/bin/env bash
# Builds everything and starts the host application on the bundled sample scene, with both
# utilities loaded. Needs an X display (or: xvfb-run ./run.sh).
set -euo pipefail
cd "$(dirname "$0")"
source cmake/prepare.sh

if [ -z "${DISPLAY:-}" ]; then
    echo "$0: no X display (DISPLAY is not set); without one, try: xvfb-run ./run.sh" >&2
    exit 1
fi
install_missing_packages
build_everything
make_wine_prefix wineprefix-desktop desktop
with_fixed_layout wine "$BUILD_DIR/bin/scenehost.exe" "$BUILD_DIR/bin/sample.scene" "$@"
