"""Login, logout and the logged-in landing page of the fake portal."""

from core import SESSION_COOKIE, route, state


def config(key):
    with state.lock:
        return state.config.get(key)


def credentials_accepted(login, password):
    if not config("acceptLogin"):
        return False
    accounts = config("accounts")
    if accounts is None:
        return True
    return accounts.get(login) == password


@route("GET", "/login")
def login_page(request):
    if request.session_login() is not None:
        request.redirect("/", status=302)
        return
    request.send_html(request.render("login.html", fields="1" if config("loginFields") else "0"))


@route("POST", "/login")
def login_submit(request):
    fields = request.form_body()
    login = fields.get("login", "")
    password = fields.get("password", "")
    state.record({"kind": "post", "field": "login", "value": login})
    state.record({"kind": "post", "field": "password", "value": password})
    if not credentials_accepted(login, password):
        request.redirect("/login?error=1")
        return
    session_id = state.new_session(login)
    # A session cookie with an expiry, as a portal that keeps its users logged in would set.
    cookie = f"{SESSION_COOKIE}={session_id}; Path=/; Max-Age=86400; HttpOnly; SameSite=Lax"
    request.redirect("/", headers=[("Set-Cookie", cookie)])


@route("GET", "/logout")
def logout(request):
    session_id = request.cookie(SESSION_COOKIE)
    with state.lock:
        state.sessions.pop(session_id, None)
    request.redirect("/login", status=302,
                     headers=[("Set-Cookie", f"{SESSION_COOKIE}=; Path=/; Max-Age=0")])
