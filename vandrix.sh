#!/usr/bin/env bash
# Build, start and test Vandrix on Debian 12.
#   ./vandrix.sh run          install what is missing, build, start the program
#   ./vandrix.sh test         install what is missing, build, run every test; fails
#                             also on a source file not formatted per .clang-format
#   ./vandrix.sh format       format every source file per .clang-format
#   ./vandrix.sh package      build a Debian package (build/vandrix_*.deb)
#   ./vandrix.sh screenshots  remake the user guide's pictures in docs/
set -euo pipefail
cd "$(dirname "$0")"

# libqt6opengl6-dev: the charts package's CMake files need it but do not pull it in.
PACKAGES=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n
          fonts-liberation2 fonts-dejavu-core poppler-utils clang-format
          desktop-file-utils appstream ccache)
# Only for building the Debian package: dpkg-shlibdeps finds its dependencies.
PACKAGING=(dpkg-dev file)
BUILD_DIR=${VANDRIX_BUILD_DIR:-build}

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local apt_line="apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
    if [ "$(id -u)" -eq 0 ]; then
        apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
        sudo apt-get update -qq && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "Missing packages. Please run as root:" >&2
        echo "  $apt_line" >&2
        exit 1
    fi
}

# The C++ sources of the tree, NUL-separated.
sources() {
    find src sim tests bench tools fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z
}

# Names every source file that clang-format would change; false when there is one.
check_format() {
    local bad=0 f
    while IFS= read -r -d '' f; do
        if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
            echo "not formatted per .clang-format: $f" >&2
            bad=1
        fi
    done < <(sources)
    [ "$bad" -eq 0 ]
}

build() {
    # ccache keeps a second build of the same tree (CI, a worktree) from compiling it all again.
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
    cmake --build "$BUILD_DIR" --parallel "$(nproc)"
}

case "${1:-}" in
run)
    install_missing "${PACKAGES[@]}"
    build
    if [ -x "$BUILD_DIR/bin/vandrix" ]; then
        if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
            echo "No display found. To try the program without one, install xvfb and run:" >&2
            echo "  xvfb-run -a $BUILD_DIR/bin/vandrix" >&2
            exit 1
        fi
        exec "$BUILD_DIR/bin/vandrix"
    else
        echo "The program window is not built yet; the interface simulator is:" >&2
        exec "$BUILD_DIR/bin/vandrix-sim" --help
    fi
    ;;
test)
    install_missing "${PACKAGES[@]}"
    formatted=0
    check_format || formatted=1
    build
    (cd "$BUILD_DIR" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j2)
    if [ "$formatted" -ne 0 ]; then
        echo "Some files are not formatted; ./vandrix.sh format formats them." >&2
        exit 1
    fi
    ;;
format)
    install_missing "${PACKAGES[@]}"
    sources | xargs -0 clang-format -i
    ;;
package)
    install_missing "${PACKAGES[@]}" "${PACKAGING[@]}"
    build
    (cd "$BUILD_DIR" && cpack -G DEB)
    ls "$BUILD_DIR"/vandrix_*.deb
    ;;
screenshots)
    install_missing "${PACKAGES[@]}"
    build
    "$BUILD_DIR/tools/user_guide_pictures" docs
    ;;
*)
    echo "usage: $0 run|test|format|package|screenshots" >&2
    exit 2
    ;;
esac
