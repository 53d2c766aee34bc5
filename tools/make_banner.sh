#!/bin/sh
# Rebuilds data/banner.jpg from tools/make_banner.cpp (needs the Qt 6 GUI
# development files).
set -e
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++20 -fPIC -o "$tmp/make_banner" "$here/make_banner.cpp" $(pkg-config --cflags --libs Qt6Gui)
"$tmp/make_banner" "$here/../data/banner.jpg"
echo "wrote $here/../data/banner.jpg"
