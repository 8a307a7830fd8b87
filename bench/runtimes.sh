#!/usr/bin/env bash
# Median wall time of whole runs at the real pauses (runtimebench), for each way the fake portal answers:
# synchronously and asynchronously, each without a filter and with a party filter.
# Usage: bench/runtimes.sh <build folder> [runs per setting, default 3]
set -euo pipefail
build=$1
runs=${2:-3}
export QT_QPA_PLATFORM=offscreen
if [[ $EUID -eq 0 ]]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
for setting in "" "--podmiot Anna" "--async" "--async --podmiot Anna"; do
    times=()
    for ((run = 0; run < runs; run++)); do
        # A fresh home each time: no session, settings or keyring left by the run before.
        line=$("$(dirname "$0")/../tests/controller/with-keyring.sh" "$build/bench/runtimebench" $setting 2>/dev/null)
        echo "  [${setting:-sync}] $line" >&2
        times+=("${line%% s*}")
    done
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    echo "${setting:-(sync)}: median ${median} s of ${times[*]}"
done
