"""Fake court portal for the tests: `python3 server.py` listens on 127.0.0.1, prints "PORT <n>" and
serves until its stdin closes. Tests steer it through /api/config and read /api/records."""
import html
import json
import random
import secrets
import sys
import threading
import time
import urllib.parse
from http.cookies import SimpleCookie
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

WWW = Path(__file__).resolve().parent / "www"
lock = threading.Lock()
state = {}
CONTROL = ("/api/records", "/api/record", "/api/config", "/api/reset", "/api/notifications")
JSON = "application/json"

COURTS = ["Sąd Rejonowy w Łodzi", "Sąd Okręgowy we Wrocławiu", "Sąd Apelacyjny w Gdańsku"]
DIVISIONS = ["I Wydział Cywilny", "", "IV Wydział Pracy i Ubezpieczeń Społecznych"]
SUBJECTS = ["o zapłatę", "o ochronę dóbr \"Łąka\" <sp. z o.o.> & inne", "O'Connor przeciwko ZUS"]
PARTIES = ["Jan Kowalski", "Zofia Żółć-Ćwik", "Anna O'Neil", "<Firma> S.A."]
JUDGES = ["SSR Anna Nowak", "", "SSO Jan Maria Wiśniewski"]


def scaled(seconds):
    """Config "scale": every delay of the portal lasts that many times its length, as the run's pauses do."""
    return seconds * state["config"].get("scale", 1)


def reset():
    state.update(config={}, records=[], requests=[], sessions={}, lost=set(), seed=None, rng=random.Random(0))


def cases_of(region):
    pick = random.Random(region)
    cases = []
    # Config "cases": how many cases every region holds (benchmarks); otherwise 120 to 159.
    for index in range(state["config"].get("cases") or 120 + pick.randrange(40)):
        year, month, day = 20 + pick.randrange(5), 1 + pick.randrange(12), 1 + pick.randrange(28)
        concluded = pick.randrange(3) == 0
        cases.append({
            "sygnatura": f"{pick.choice(['I', 'II', 'IX'])} C {index + 1}/{year}", "sad": pick.choice(COURTS),
            "wydzial": pick.choice(DIVISIONS), "przedmiot": pick.choice(SUBJECTS),
            "glownePodmioty": pick.sample(PARTIES, pick.randrange(4)), "referent": pick.choice(JUDGES),
            "dataWplywu": f"20{year}-{month:02d}-{day:02d}",
            "dataZakonczenia": f"20{year + 1}-{month:02d}-{day:02d}" if concluded else "",
            "status": "Zakończone" if concluded else "W toku"})
    return cases


def filtered(query):
    get = lambda name: query.get(name, [""])[0].strip()
    party = get("podmiot").lower()
    return [case for case in cases_of(get("region") or "wrocławska") if get("status") in ("", "Wszystkie", case["status"])
            and (not party or any(party in name.lower() for name in case["glownePodmioty"]))]


class Request(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    log_message = lambda *args: None

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        if url.path in ("/slow", "/api/notifications", "/app/module.js"):
            with lock:
                seconds = scaled(float(query["seconds"][0])) if url.path != "/slow" else float(query["seconds"][0])
            time.sleep(seconds)
        if url.path == "/drop":
            # Closed unanswered, every time: the browser would send the request again after a single close.
            self.close_connection = True
            return
        if url.path == "/slowbody":
            return self.answer_slowly(float(query["seconds"][0]))
        if url.path == "/login" and self.command == "GET":
            with lock:
                delay = state["config"].get("loginDelay", 0)
            time.sleep(delay)
        answer = "answer"
        if url.path == "/api/sprawy":
            with lock:
                delay, answer = list_delay(query)
            if answer == "never":
                time.sleep(3600)
            time.sleep(delay)
            if answer == "refuse":
                return self.send("{}", JSON, 503, [("Retry-After", str(state["config"]["refuse"][query["step"][0]]))])
        with lock:
            text, content_type, status, headers = self.respond(f"{self.command} {url.path}", url, query, body)
        if url.path == "/api/sprawy" and answer == "lose":
            text, status = "{}", 502
        with lock:
            body_delay = scaled(state["config"].get("stream", 0)) if url.path == "/api/sprawy" else 0
        self.send(text, content_type, status, headers, body_delay)

    def send(self, text, content_type, status, headers, body_delay=0):
        """The answer; with @body_delay, its headers at once and its body that many seconds later."""
        text = text.encode() if isinstance(text, str) else text
        self.send_response(status)
        for name, value in [("Content-Type", content_type + "; charset=utf-8"), ("Content-Length", str(len(text))),
                            ("Cache-Control", "no-store"), *headers]:
            self.send_header(name, value)
        self.end_headers()
        if body_delay:
            self.write_late(text, body_delay)
        else:
            self.wfile.write(text)

    def write_late(self, text, seconds):
        """The first byte of @text at once, the rest after @seconds: a reader sees the body begin, then wait."""
        self.wfile.write(text[:1])
        self.wfile.flush()
        time.sleep(seconds)
        self.wfile.write(text[1:])

    do_GET = do_POST

    def answer_slowly(self, seconds):
        """Headers at once, the body's first byte with them and the rest after @seconds."""
        text = b"slow body"
        self.send_response(200)
        for name, value in [("Content-Type", "text/plain"), ("Content-Length", str(len(text))), ("Cache-Control", "no-store")]:
            self.send_header(name, value)
        self.end_headers()
        self.write_late(text, seconds)

    def respond(self, route, url, query, body):
        """The body, content type, status and headers of the answer."""
        jar = SimpleCookie(self.headers.get("Cookie", ""))
        login = state["sessions"].get(jar["PORTAL"].value) if "PORTAL" in jar else None
        if url.path not in CONTROL:
            state["requests"].append({"path": url.path, "query": url.query, "userAgent": self.headers["User-Agent"]})
        if route == "GET /api/records":
            return json.dumps({"records": state["records"], "requests": state["requests"]}), JSON, 200, []
        if route == "POST /api/record":
            state["records"].append(json.loads(body))
        elif route == "POST /api/config":
            state["config"].update(json.loads(body))
        elif route == "POST /api/reset":
            reset()
        elif route == "GET /api/sprawy/all":
            return json.dumps(filtered(query)), JSON, 200, []
        elif route == "GET /api/sprawy":
            page, config = int(query["page"][0]), state["config"]
            if page >= config.get("expireFrom", float("inf")):
                state["sessions"].pop(jar["PORTAL"].value if "PORTAL" in jar else "", None)
                return "{}", JSON, 401, []
            if page >= config.get("failFrom", float("inf")):
                return "{}", JSON, 500, []
            return json.dumps(cases_page(query)), JSON, 200, []
        elif route == "POST /login":
            return login_submit(dict(urllib.parse.parse_qsl(body.decode(), keep_blank_values=True)))
        elif route == "GET /status":
            return "<p>status page</p>", "text/html", int(query["code"][0]), []
        elif route == "GET /" and query.get("page") == ["plain"]:
            return "<p>plain page</p>", "text/html", 200, []
        elif route == "GET /login" and login or route == "GET /" and not login:
            return "", "text/html", 302, [("Location", "/" if login else "/login")]
        elif route in ("GET /login", "GET /", "GET /app"):
            page = (WWW / ("login.html" if route == "GET /login" else "app/index.html")).read_text(encoding="utf-8")
            # The list comes asynchronously where the portal is slow or fails, as a real one's does.
            config = state["config"]
            late = any(key in config for key in ("async", "delay", "delays", "random", "never", "lose", "failFrom",
                                                 "expireFrom", "refuse", "stream", "labelFirst"))
            page_config = {key: config.get(key) for key in ("hang", "size", "jump", "nofilter", "module", "longpoll",
                                                            "stream", "labelFirst", "labels", "menuDelay", "regionDelay", "keepIndex",
                                                            "numbers", "deaf", "hangNext", "nolink", "scale")}
            page_config["late"] = late
            page = page.replace("{{login}}", html.escape(login or ""))
            return page.replace("{{config}}", html.escape(json.dumps(page_config))), "text/html", 200, []
        elif url.path == "/api/notifications":
            return "{}", JSON, 200, []
        elif route == "GET /app/module.js":
            return "window.dispatchEvent(new Event('casesmodule'));", "text/javascript", 200, []
        elif route == "GET /moved":
            return "", "text/html", 302, [("Location", "/?page=plain")]
        elif route == "GET /startup":
            # A page that asks for something while it is still being parsed.
            return ("<!DOCTYPE html><head><script>fetch('/slow?seconds=0.2').then(function() {"
                    " window.answered = true; });</script></head><body><p>startup</p></body>"), "text/html", 200, []
        elif route == "GET /slow":
            return "<p>slow page</p>", "text/html", 200, []
        elif (WWW / url.path.lstrip("/")).is_file() and ".." not in url.path:
            kind = "css" if url.path.endswith(".css") else "javascript"
            return (WWW / url.path.lstrip("/")).read_bytes(), "text/" + kind, 200, []
        else:
            return "not found", "text/plain", 404, []
        return "{}", JSON, 200, []


def list_delay(query):
    """Seconds before the case list answers, and how: "never", or "lose" (a gateway's 502 in place of the page,
    once; a connection closed unanswered would be sent again by the browser itself). Config "delay": each page after the first; "delays": {step: seconds} for "list" (the first
    showing), "search", "size" and "page"; "random": [seconds, seed], a further delay up to that, drawn anew for
    each answer; "never": the step that is never answered; "lose": the page whose first answer is lost; "refuse":
    {step: seconds}, the step's first answer a 503 asking to come back after that long."""
    config, step, page = state["config"], query.get("step", [""])[0], int(query.get("page", ["0"])[0])
    if config.get("never") == step:
        return 0, "never"
    if step == "page" and page == config.get("lose") and page not in state["lost"]:
        state["lost"].add(page)
        return 0, "lose"
    if step in config.get("refuse", {}) and ("refuse", step) not in state["lost"]:
        state["lost"].add(("refuse", step))
        return 0, "refuse"
    delay = (config.get("delay", 0) if page > 0 else 0) + config.get("delays", {}).get(step, 0)
    if "random" in config:
        most, seed = config["random"]
        if state.get("seed") != seed:
            state.update(seed=seed, rng=random.Random(seed))
        delay += state["rng"].uniform(0, most)
    return scaled(delay), "answer"


def login_submit(fields):
    login, password = fields.get("login", ""), fields.get("password", "")
    state["records"] += [{"kind": "post", "field": "login", "value": login},
                         {"kind": "post", "field": "password", "value": password}]
    accounts = state["config"].get("accounts")
    if accounts is not None and accounts.get(login) != password:
        return "", "text/html", 303, [("Location", "/login?error=1")]
    session = secrets.token_hex(16)
    state["sessions"][session] = login
    return "", "text/html", 303, [("Location", "/"), ("Set-Cookie", f"PORTAL={session}; Path=/; Max-Age=86400; HttpOnly")]


def cases_page(query):
    """One page, repeating the row before it, as the portal does. Config "paging": "wrap" (next on the last page
    leads to the first), "stuck" (it stays), "nonext" (no next control), "plain" (no range, no page numbers),
    "pages" (page numbers "2 / 4", no range), "none" (no paginator at all), "repeat" (the first page again,
    reversed)."""
    cases = filtered(query)
    size, start, paging = int(query["size"][0]), int(query["page"][0]) * int(query["size"][0]), state["config"].get("paging", "")
    if paging == "repeat":
        cases = cases[:size] + cases[size - 1::-1] + cases[size:]
    return {"total": len(cases), "first": start + 1, "last": min(start + size, len(cases)),
            "rows": cases[max(0, start - 1):start + size], "paging": paging}


reset()
server = ThreadingHTTPServer(("127.0.0.1", 0), Request)
server.daemon_threads = True
print(f"PORT {server.server_address[1]}", flush=True)
# The test process owns the server: it ends when that process closes our stdin or dies.
threading.Thread(target=lambda: (sys.stdin.read(), server.shutdown()), daemon=True).start()
server.serve_forever()
