#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need (only those missing), then
# configures and builds with warnings as errors. Usage: scripts/setup.sh BUILD_DIR [extra cmake arguments]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
shift || true

# The build and the program (charts and XLSX of the teacher's results among its libraries); a
# display for looking at it; PDF reading for the report tests, unzip for reading XLSX back; the
# Debian package and its checks (cpack needs dpkg-dev and file); clang for the fuzz targets and the
# formatting check of CI.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-webengine-dev qt6-svg-dev
          qt6-charts-dev libxlsxwriter-dev qt6-httpserver-dev qt6-websockets-dev openssl unzip
          libgl-dev fonts-paratype qt6-translations-l10n xvfb xauth poppler-utils
          dpkg-dev file desktop-file-utils appstream lintian
          clang libclang-rt-14-dev clang-format)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The browser tests of the server's page for students: Debian's chromium, Node.js with npm (any
# Node.js already installed is kept), and the pinned puppeteer-core and axe-core of
# tests/web/package-lock.json in tests/web/node_modules.
[ -x /usr/bin/chromium ] || missing+=(chromium)
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

web="$top/tests/web"
if [ ! -f "$web/node_modules/.package-lock.json" ] ||
    [ "$web/package-lock.json" -nt "$web/node_modules/.package-lock.json" ]; then
    (cd "$web" && npm ci --no-audit --no-fund)
fi

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORTAVIA_WERROR=ON "$@"
cmake --build "$build" -j"$(nproc)"
