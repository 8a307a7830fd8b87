#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless through CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
if [[ $EUID -eq 0 ]]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
cd "${BUILD_DIR:-$root/build}"
# Three times the processors: the web-engine tests spend most of their time in the run's pauses and waiting
# for the page's answers.
ctest --output-on-failure --timeout 900 -j "$(( $(nproc) * 3 ))"
