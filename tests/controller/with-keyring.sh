#!/bin/sh
# Runs a test inside a private D-Bus session with its own unlocked secret store, so that the
# password tests use a real Secret Service without touching the user's keyring or home.
set -e
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p -m 700 "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
exec dbus-run-session -- sh -c '
    printf "velmoria-tests" | gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null
    exec "$@"' keyring-session "$@"
