# Shared by test.sh and run.sh: installs what is missing on a Debian machine, builds, and
# makes Wine prefixes inside the build folder. How Wine is started is in wine-env.sh.

# shellcheck source=cmake/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

BUILD_DIR=${BUILD_DIR:-build}
PACKAGES="cmake make g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 googletest
          nlohmann-json3-dev blender python3-numpy clang libclang-rt-14-dev
          libboost-regex1.81-dev lld python3 fonts-wine libxxhash-dev
          rapidjson-dev parallel slurm-wlm munge"
NATIVE_BUILD_DIR=${NATIVE_BUILD_DIR:-build-native}
CLANG_BUILD_DIR=${CLANG_BUILD_DIR:-build-clang}

install_missing_packages() {
    local missing=()
    for package in $PACKAGES; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "$0: missing Debian packages: ${missing[*]} (run as root to install them)" >&2
        exit 1
    fi
    echo "Installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

build_everything() {
    cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
    cmake --build "$BUILD_DIR" -j"$(nproc)"
}

# The program and its plug-ins built a second time, with clang and lld for the same target;
# its programs run in the prefix of the GCC build.
build_with_clang() {
    cmake -S . -B "$CLANG_BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/clang-mingw-w64-x86_64.cmake \
          -DWINE_PREFIX="$PWD/$BUILD_DIR/wineprefix" >/dev/null
    cmake --build "$CLANG_BUILD_DIR" -j"$(nproc)" --target scenehost
}

# The portable parts built natively with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, with the libFuzzer targets.
build_native_checked() {
    cmake -S . -B "$NATIVE_BUILD_DIR" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
          -DFUZZING=ON >/dev/null
    cmake --build "$NATIVE_BUILD_DIR" -j"$(nproc)"
}

# wine_env PREFIX: the environment every Wine call of ours runs in, for a prefix of the build
# folder.
wine_env() {
    use_wine_prefix "$PWD/$BUILD_DIR/$1"
}

# make_wine_prefix PREFIX null|desktop: a prefix of our own, made once; "null" runs windows
# without a display.
make_wine_prefix() {
    wine_env "$1"
    make_prefix_once "$2"
    [ "$2" = desktop ] && use_wine_fonts
    return 0
}

# The desktop prefix draws with Wine's own fonts, as a Windows user sees them: Tahoma, and
# Marlett for the caption buttons, which any other font shows as the letters "0 1 r". The
# prefix is made here without them.
use_wine_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    [ -d "$fonts" ] || return 0
    for font in /usr/share/wine/fonts/*.ttf; do
        [ -e "$font" ] && ln -sf "$font" "$fonts/"
    done
}
