#!/usr/bin/env bash
# Installs what is missing, builds, and launches the application.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
# Chromium refuses its sandbox when run as root.
if [[ $EUID -eq 0 ]]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
exec "${BUILD_DIR:-$root/build}/src/app/velmoria" "$@"
