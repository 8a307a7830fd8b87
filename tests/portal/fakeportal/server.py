"""Fake court portal for the tests, on 127.0.0.1.

    python3 server.py [--port N]

Prints "PORT <n>" as its first line once it listens (port 0 picks a free one), then serves until
stdin closes or it is terminated. See core.py for how routes are added.
"""

import argparse
import importlib
import sys
import threading
from http.server import ThreadingHTTPServer
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import core  # noqa: E402


def load_route_modules():
    importlib.import_module("routes_login")
    for module in sorted(HERE.glob("routes_*.py")):
        if module.stem != "routes_login":
            importlib.import_module(module.stem)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    arguments = parser.parse_args()

    load_route_modules()
    server = ThreadingHTTPServer(("127.0.0.1", arguments.port), core.Request)
    server.daemon_threads = True
    print(f"PORT {server.server_address[1]}", flush=True)

    # The test process owns us: end when it closes our stdin (it may die without terminating us).
    def watch_stdin():
        sys.stdin.read()
        server.shutdown()

    threading.Thread(target=watch_stdin, daemon=True).start()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
