#!/usr/bin/env bash
# Installs what is missing, builds, and starts Ортавия on the sample course in course/.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh" "$top/build"
cd "$top/course"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting the program in a virtual X server (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$top/build/ortavia"
fi
exec "$top/build/ortavia"
