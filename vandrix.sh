#!/usr/bin/env bash
# Build, start and test Vandrix on Debian 12.
#   ./vandrix.sh run          install what is missing, build the programs, start the window
#   ./vandrix.sh test         install what is missing, build everything, run every test; fails
#                             also on a source file not formatted per .clang-format
#   ./vandrix.sh format       format every source file per .clang-format
#   ./vandrix.sh package      build a Debian package (build/vandrix_*.deb)
#   ./vandrix.sh screenshots  remake the user guide's pictures in docs/
#   ./vandrix.sh test-arm64   cross-build for 64-bit ARM into build-arm64 and run the
#                             formula table, library and command line tests under qemu-user
#   ./vandrix.sh package-arm64  cross-build a Debian package for 64-bit ARM
#                             (build-arm64/vandrix_*_arm64.deb)
set -euo pipefail
cd "$(dirname "$0")"

# libqt6opengl6-dev: the charts package's CMake files need it but do not pull it in.
PACKAGES=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n
          fonts-liberation2 fonts-dejavu-core poppler-utils clang-format
          desktop-file-utils appstream ccache zlib1g-dev)
# Only for building the Debian package: dpkg-shlibdeps finds its dependencies.
PACKAGING=(dpkg-dev file)
# Only for the tests: lintian checks the package last made by ./vandrix.sh package.
TESTING=(lintian)
BUILD_DIR=${VANDRIX_BUILD_DIR:-build}
# The arm64 cross build: Debian's cross compiler, the arm64 Qt and test
# libraries beside the native ones (multiarch), qemu-user to run the tests.
ARM64_PACKAGES=(crossbuild-essential-arm64 qemu-user qt6-base-dev:arm64 qt6-charts-dev:arm64
                libqt6opengl6-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64)
ARM64_BUILD_DIR=${VANDRIX_ARM64_BUILD_DIR:-build-arm64}
# What runs under emulation: the formula table and the other library tests,
# the command line against the simulator, and the termios driver (skipped,
# with its reason, where the emulator lacks termios2).
ARM64_TESTS=(cli_test kline_termios_test)
for f in tests/{values,config,log,reports,services}/*_test.cpp; do
    d=${f#tests/}
    ARM64_TESTS+=("${d%%/*}_$(basename "$f" .cpp)")
done

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

# build ON builds everything, tests included; build OFF only the three programs,
# their data and what installs them, so a first start does not wait for the tests.
build() {
    local testing=$1
    # ccache keeps a second build of the same tree (CI, a worktree) from compiling it all again.
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
        -DBUILD_TESTING="$testing" >/dev/null
    cmake --build "$BUILD_DIR" --parallel "$(nproc)"
}

# arm64_build ON|OFF TARGET...: the arm64 architecture and packages, then a
# cross build of the targets into build-arm64.
arm64_build() {
    local testing=$1
    shift
    if ! dpkg --print-foreign-architectures | grep -qx arm64; then
        if [ "$(id -u)" -eq 0 ]; then
            dpkg --add-architecture arm64
        else
            echo "The arm64 packages need the arm64 architecture. Please run as root:" >&2
            echo "  dpkg --add-architecture arm64" >&2
            exit 1
        fi
    fi
    install_missing "${PACKAGES[@]}" "${ARM64_PACKAGES[@]}"
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"
    cmake -S . -B "$ARM64_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DBUILD_TESTING="$testing" \
        "${launcher[@]}" >/dev/null
    cmake --build "$ARM64_BUILD_DIR" --parallel "$(nproc)" --target "$@"
}

case "${1:-}" in
run)
    install_missing "${PACKAGES[@]}"
    build OFF
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
    install_missing "${PACKAGES[@]}" "${TESTING[@]}"
    formatted=0
    check_format || formatted=1
    build ON
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
    build OFF
    (cd "$BUILD_DIR" && cpack -G DEB)
    ls "$BUILD_DIR"/vandrix_*.deb
    ;;
test-arm64)
    arm64_build ON "${ARM64_TESTS[@]}" data_files
    regex="^($(IFS='|'; echo "${ARM64_TESTS[*]}"))\$"
    (cd "$ARM64_BUILD_DIR" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" \
        -R "$regex")
    ;;
package-arm64)
    install_missing "${PACKAGING[@]}"
    arm64_build OFF all
    # dpkg-shlibdeps looks up the libraries' packages of the package's architecture.
    (cd "$ARM64_BUILD_DIR" && DEB_HOST_ARCH=arm64 cpack -G DEB)
    ls "$ARM64_BUILD_DIR"/vandrix_*_arm64.deb
    ;;
screenshots)
    install_missing "${PACKAGES[@]}"
    build ON
    "$BUILD_DIR/tools/user_guide_pictures" docs
    ;;
*)
    echo "usage: $0 run|test|format|package|screenshots|test-arm64|package-arm64" >&2
    exit 2
    ;;
esac
