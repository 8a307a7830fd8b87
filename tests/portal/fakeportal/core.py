"""Core of the fake court portal: shared state, the route table and the request handler.

Route modules register handlers with the ``route`` decorator:

    from core import route, state

    @route("GET", "/some/path")
    def some_page(request):
        request.send_html(request.render("page.html"))

``server.py`` imports ``routes_login`` first and then every other ``routes_*.py`` of this folder
in name order, so a later module may replace an earlier handler by registering the same path.
A path without a handler is looked up as a file under ``www/``.
"""

import html
import json
import mimetypes
import os
import secrets
import threading
import time
import urllib.parse
from http.cookies import SimpleCookie
from http.server import BaseHTTPRequestHandler
from pathlib import Path

WWW = Path(__file__).resolve().parent / "www"
SESSION_COOKIE = "PORTALSESSION"

# (method, path) -> handler(request)
routes = {}

DEFAULT_CONFIG = {
    # Whether the login page has its login and password fields.
    "loginFields": True,
    # Whether POST /login starts a session.
    "acceptLogin": True,
    # When set, {login: password}: only these pairs are accepted.
    "accounts": None,
}


def route(method, path):
    def register(handler):
        routes[(method, path)] = handler
        return handler
    return register


class State:
    """Everything the portal remembers; tests read it through /api/records."""

    def __init__(self):
        self.lock = threading.Lock()
        self.sessions = {}
        self.reset()

    def reset(self):
        with self.lock:
            self.config = json.loads(json.dumps(DEFAULT_CONFIG))
            self.records = []
            self.requests = []
            self.sessions.clear()
            self.sequence = 0

    def record(self, entry):
        with self.lock:
            self.sequence += 1
            entry = dict(entry)
            entry["seq"] = self.sequence
            entry["time"] = time.time()
            self.records.append(entry)

    def new_session(self, login):
        session_id = secrets.token_hex(16)
        with self.lock:
            self.sessions[session_id] = login
        return session_id

    def snapshot(self):
        with self.lock:
            return {
                "records": list(self.records),
                "requests": list(self.requests),
                "sessions": sorted(self.sessions.values()),
                "config": dict(self.config),
            }


state = State()


class Request(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "FakePortal/1"

    def log_message(self, format, *args):
        # FAKEPORTAL_LOG=<file> keeps an access log for debugging a test.
        target = os.environ.get("FAKEPORTAL_LOG")
        if target:
            with open(target, "a", encoding="utf-8") as log:
                log.write(f"{time.time():.3f} {self.address_string()} {format % args}\n")

    # -- helpers for route handlers ------------------------------------------------------------

    @property
    def path_only(self):
        return urllib.parse.urlsplit(self.path).path

    @property
    def query(self):
        return urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)

    def cookie(self, name):
        jar = SimpleCookie()
        try:
            jar.load(self.headers.get("Cookie", ""))
        except Exception:
            return None
        return jar[name].value if name in jar else None

    def session_login(self):
        """The login of the presented session, or None."""
        session_id = self.cookie(SESSION_COOKIE)
        with state.lock:
            return state.sessions.get(session_id) if session_id else None

    def body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length else b""

    def json_body(self):
        raw = self.body()
        return json.loads(raw.decode("utf-8")) if raw else {}

    def form_body(self):
        fields = urllib.parse.parse_qs(self.body().decode("utf-8"), keep_blank_values=True)
        return {key: values[0] for key, values in fields.items()}

    def render(self, name, **values):
        """A www/ file with every {{key}} replaced by the HTML-escaped value."""
        text = (WWW / name).read_text(encoding="utf-8")
        for key, value in values.items():
            text = text.replace("{{" + key + "}}", html.escape(str(value)))
        return text

    def send(self, status, body=b"", content_type="text/plain; charset=utf-8", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_html(self, text, status=200, headers=()):
        self.send(status, text.encode("utf-8"), "text/html; charset=utf-8", headers)

    def send_json(self, value, status=200):
        self.send(status, json.dumps(value, ensure_ascii=False).encode("utf-8"),
                  "application/json; charset=utf-8")

    def redirect(self, location, status=303, headers=()):
        self.send(status, b"", headers=[("Location", location), *headers])

    def send_file(self, relative):
        target = (WWW / relative.lstrip("/")).resolve()
        if WWW not in target.parents or not target.is_file():
            self.send(404, b"not found")
            return
        content_type = mimetypes.guess_type(target.name)[0] or "application/octet-stream"
        if content_type.startswith("text/") or content_type.endswith("javascript"):
            content_type += "; charset=utf-8"
        self.send(200, target.read_bytes(), content_type)

    # -- dispatch -------------------------------------------------------------------------------

    def dispatch(self, method):
        path = self.path_only
        if not path.startswith("/api/"):
            with state.lock:
                state.requests.append({
                    "method": method,
                    "path": path,
                    "query": urllib.parse.urlsplit(self.path).query,
                    "hadSessionCookie": self.cookie(SESSION_COOKIE) is not None,
                    "userAgent": self.headers.get("User-Agent", ""),
                    "sessionLogin": None,
                })
                logged = state.requests[-1]
            logged["sessionLogin"] = self.session_login()
        handler = routes.get((method, path))
        try:
            if handler:
                handler(self)
            elif method == "GET":
                self.send_file(path)
            else:
                self.send(404, b"not found")
        except BrokenPipeError:
            pass

    def do_GET(self):
        self.dispatch("GET")

    def do_POST(self):
        self.dispatch("POST")


# -- the test-control endpoints ----------------------------------------------------------------

@route("GET", "/api/records")
def get_records(request):
    request.send_json(state.snapshot())


@route("POST", "/api/record")
def post_record(request):
    state.record(request.json_body())
    request.send_json({"ok": True})


@route("POST", "/api/config")
def post_config(request):
    changes = request.json_body()
    with state.lock:
        state.config.update(changes)
    request.send_json({"ok": True})


@route("POST", "/api/reset")
def post_reset(request):
    state.reset()
    request.send_json({"ok": True})


@route("GET", "/slow")
def slow(request):
    """A page that takes ?seconds=N to arrive, for load waits."""
    seconds = float(request.query.get("seconds", ["1"])[0])
    time.sleep(seconds)
    request.send_html("<html><body>slow page</body></html>")
