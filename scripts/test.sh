#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless through CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
if [[ $EUID -eq 0 ]]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
cd "${BUILD_DIR:-$root/build}"
# Twice the processors: the web-engine tests spend most of their time in the run's pauses.
ctest --output-on-failure --timeout 900 -j "$(( $(nproc) * 2 ))"
