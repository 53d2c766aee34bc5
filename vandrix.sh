#!/usr/bin/env bash
# Build, start and test Vandrix on Debian 12.
#   ./vandrix.sh run    install what is missing, build, start the program
#   ./vandrix.sh test   install what is missing, build, run every test
set -euo pipefail
cd "$(dirname "$0")"

# libqt6opengl6-dev: the charts package's CMake files need it but do not pull it in.
PACKAGES=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev
          fonts-liberation2 fonts-dejavu-core poppler-utils)
BUILD_DIR=${VANDRIX_BUILD_DIR:-build}

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
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

build() {
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$BUILD_DIR" --parallel "$(nproc)"
}

case "${1:-}" in
run)
    install_missing
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
    install_missing
    build
    cd "$BUILD_DIR"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j2
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
