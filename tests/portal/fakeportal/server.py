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
CONTROL = ("/api/records", "/api/record", "/api/config", "/api/reset")

COURTS = ["Sąd Rejonowy w Łodzi", "Sąd Okręgowy we Wrocławiu", "Sąd Apelacyjny w Gdańsku"]
DIVISIONS = ["I Wydział Cywilny", "", "IV Wydział Pracy i Ubezpieczeń Społecznych"]
SUBJECTS = ["o zapłatę", "o ochronę dóbr \"Łąka\" <sp. z o.o.> & inne", "O'Connor przeciwko ZUS"]
PARTIES = ["Jan Kowalski", "Zofia Żółć-Ćwik", "Anna O'Neil", "<Firma> S.A."]
JUDGES = ["SSR Anna Nowak", "", "SSO Jan Maria Wiśniewski"]


def reset():
    with lock:
        state.update(config={}, records=[], requests=[], sessions={})


def cases_of(region):
    pick = random.Random(region)
    cases = []
    for index in range(120 + pick.randrange(40)):
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
    party, subject = get("podmiot").lower(), get("przedmiot").lower()
    return [case for case in cases_of(get("region") or "wrocławska")
            if get("status") in ("", "Wszystkie", case["status"])
            and get("dataOd") <= case["dataWplywu"] and case["dataWplywu"] <= (get("dataDo") or "9")
            and (not party or any(party in name.lower() for name in case["glownePodmioty"]))
            and subject in case["przedmiot"].lower()]


class Request(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send(self, body, content_type="text/html", status=200, headers=()):
        body = body.encode() if isinstance(body, str) else body
        self.send_response(status)
        for name, value in [("Content-Type", content_type + "; charset=utf-8"),
                            ("Content-Length", str(len(body))), ("Cache-Control", "no-store"), *headers]:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def json(self, value={}):
        self.send(json.dumps(value, ensure_ascii=False), "application/json")

    def session(self):
        jar = SimpleCookie(self.headers.get("Cookie", ""))
        with lock:
            return state["sessions"].get(jar["PORTAL"].value) if "PORTAL" in jar else None

    def page(self, name, **values):
        text = (WWW / name).read_text(encoding="utf-8")
        for key, value in values.items():
            text = text.replace("{{" + key + "}}", html.escape(value))
        self.send(text)

    def do_GET(self):
        self.do_POST()

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        login = self.session()
        if url.path not in CONTROL:
            with lock:
                state["requests"].append({"method": self.command, "path": url.path, "query": url.query,
                                          "hadSessionCookie": "PORTAL=" in self.headers.get("Cookie", ""),
                                          "userAgent": self.headers.get("User-Agent", "")})
        route = (self.command, url.path)
        if route == ("GET", "/api/records"):
            with lock:
                self.json({**state, "sessions": sorted(state["sessions"].values())})
        elif route == ("POST", "/api/record"):
            with lock:
                state["records"].append(json.loads(body))
            self.json()
        elif route == ("POST", "/api/config"):
            with lock:
                state["config"].update(json.loads(body))
            self.json()
        elif route == ("POST", "/api/reset"):
            reset()
            self.json()
        elif route == ("GET", "/api/sprawy/all"):
            self.json(filtered(query))
        elif route == ("GET", "/api/sprawy"):
            self.cases_page(query)
        elif route == ("GET", "/login"):
            self.send("", headers=[("Location", "/")], status=302) if login else self.page("login.html")
        elif route == ("POST", "/login"):
            self.login_submit(dict(urllib.parse.parse_qsl(body.decode(), keep_blank_values=True)))
        elif route == ("GET", "/") and login is None:
            self.send("", headers=[("Location", "/login")], status=302)
        elif route in (("GET", "/"), ("GET", "/app")):
            self.page("app/index.html", login=login or "")
        elif route == ("GET", "/slow"):
            time.sleep(float(query.get("seconds", ["1"])[0]))
            self.send("<p>slow page</p>")
        elif (WWW / url.path.lstrip("/")).is_file() and ".." not in url.path:
            types = {".js": "text/javascript", ".css": "text/css", ".html": "text/html"}
            self.send((WWW / url.path.lstrip("/")).read_bytes(), types[Path(url.path).suffix])
        else:
            self.send("not found", "text/plain", 404)

    def login_submit(self, fields):
        login, password = fields.get("login", ""), fields.get("password", "")
        with lock:
            state["records"] += [{"kind": "post", "field": "login", "value": login},
                                 {"kind": "post", "field": "password", "value": password}]
            accounts = state["config"].get("accounts")
            if accounts is not None and accounts.get(login) != password:
                self.send("", headers=[("Location", "/login?error=1")], status=303)
                return
            session = secrets.token_hex(16)
            state["sessions"][session] = login
        self.send("", status=303, headers=[("Location", "/"),
                                           ("Set-Cookie", f"PORTAL={session}; Path=/; Max-Age=86400; HttpOnly")])

    def cases_page(self, query):
        """One page; a page after the first repeats the row before it, as the portal does. Config
        "paging": "wrap" (next on the last page leads to the first), "stuck" (it stays), "nonext" (no
        next control), "repeat" (the first page comes again, reversed, after itself)."""
        cases = filtered(query)
        size, page = int(query["size"][0]), int(query["page"][0])
        with lock:
            paging = state["config"].get("paging", "")
        if paging == "repeat":
            cases = cases[:size] + cases[size - 1::-1] + cases[size:]
        start = page * size
        rows = cases[max(0, start - 1):start + size]
        self.json({"total": len(cases), "first": start + 1, "last": min(start + size, len(cases)),
                   "rows": rows, "paging": paging})


def main():
    reset()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Request)
    server.daemon_threads = True
    print(f"PORT {server.server_address[1]}", flush=True)
    # The test process owns the server: it ends when that process closes our stdin or dies.
    threading.Thread(target=lambda: (sys.stdin.read(), server.shutdown()), daemon=True).start()
    server.serve_forever()


main()
