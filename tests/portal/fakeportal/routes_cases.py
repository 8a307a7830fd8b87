"""The logged-in portal application: its page at / (and /app) and the case data behind its table.

The cases are generated deterministically per appellate region, so a test can ask the portal
(GET /api/sprawy/all) for exactly the cases a filtered walk of the table must collect.
"""

import urllib.parse

from core import route, state

REGIONS = [
    "białostocka", "gdańska", "katowicka", "krakowska", "lubelska", "łódzka",
    "poznańska", "rzeszowska", "szczecińska", "warszawska", "wrocławska",
]

COURTS = [
    "Sąd Rejonowy w Łodzi",
    "Sąd Okręgowy we Wrocławiu",
    "Sąd Rejonowy dla Krakowa-Śródmieścia w Krakowie",
    "Sąd Apelacyjny w Gdańsku",
]

DIVISIONS = [
    "I Wydział Cywilny",
    "II Wydział Karny",
    "",  # a court shown without its division
    "IV Wydział Pracy i Ubezpieczeń Społecznych",
]

SUBJECTS = [
    "o zapłatę",
    "o eksmisję & odszkodowanie",
    "o ochronę dóbr osobistych \"Łąka\" <sp. z o.o.>",
    "O'Connor przeciwko ZUS",
    "zażółć gęślą jaźń",
    "o ustalenie > 5 000 zł",
]

PARTIES = [
    "Jan Kowalski",
    "Zofia Żółć-Ćwik",
    "Przedsiębiorstwo \"Świt\" & Syn",
    "Anna O'Neil",
    "<Firma> S.A.",
    "Grzegorz Brzęczyszczykiewicz",
]

JUDGES = [
    "SSR Anna Nowak",
    "",  # no judge rapporteur yet: an empty cell
    "SSO Jan Maria Wiśniewski",  # shown on two lines
    "SSA Łucja Ślęzak",
]

ROMAN = ["I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X"]
REPERTORIES = ["C", "K", "Ns", "GC", "P", "Ca"]


class Generator:
    """A small linear congruential generator: the same seed gives the same cases everywhere."""

    def __init__(self, seed):
        self.value = seed & 0x7FFFFFFF

    def next(self, bound):
        self.value = (self.value * 1103515245 + 12345) & 0x7FFFFFFF
        return (self.value >> 8) % bound


def region_seed(region):
    seed = 17
    for character in region:
        seed = (seed * 31 + ord(character)) & 0x7FFFFFFF
    return seed


_cache = {}


def cases_of(region):
    if region in _cache:
        return _cache[region]
    generator = Generator(region_seed(region))
    count = 120 + generator.next(40)
    cases = []
    for index in range(count):
        division = generator.next(len(ROMAN))
        repertory = REPERTORIES[generator.next(len(REPERTORIES))]
        year = 20 + generator.next(5)
        month = 1 + generator.next(12)
        day = 1 + generator.next(28)
        received = f"20{year}-{month:02d}-{day:02d}"
        concluded = generator.next(3) == 0
        parties = [PARTIES[generator.next(len(PARTIES))] for _ in range(generator.next(4))]
        cases.append({
            # The index keeps references unique within the region.
            "sygnatura": f"{ROMAN[division]} {repertory} {index + 1}/{year}",
            "sad": COURTS[generator.next(len(COURTS))],
            "wydzial": DIVISIONS[generator.next(len(DIVISIONS))],
            "przedmiot": SUBJECTS[generator.next(len(SUBJECTS))],
            "glownePodmioty": parties,
            "referent": JUDGES[generator.next(len(JUDGES))],
            "dataWplywu": received,
            "dataZakonczenia": f"20{min(year + 1, 24)}-{month:02d}-{day:02d}" if concluded else "",
            "status": "Zakończone" if concluded else "W toku",
        })
    _cache[region] = cases
    return cases


def parameter(request, name, default=""):
    return request.query.get(name, [default])[0]


def filtered(request):
    region = parameter(request, "region", "wrocławska")
    status = parameter(request, "status", "Wszystkie")
    date_from = parameter(request, "dataOd").strip()
    date_to = parameter(request, "dataDo").strip()
    party = parameter(request, "podmiot").strip().lower()
    subject = parameter(request, "przedmiot").strip().lower()
    result = []
    for case in cases_of(region):
        if status in ("W toku", "Zakończone") and case["status"] != status:
            continue
        if date_from and case["dataWplywu"] < date_from:
            continue
        if date_to and case["dataWplywu"] > date_to:
            continue
        if party and not any(party in name.lower() for name in case["glownePodmioty"]):
            continue
        if subject and subject not in case["przedmiot"].lower():
            continue
        result.append(case)
    return result


@route("GET", "/api/sprawy")
def sprawy_page(request):
    """One page of the filtered list. A page after the first repeats the previous page's last row,
    as the portal does."""
    cases = filtered(request)
    size = max(1, int(parameter(request, "size", "10")))
    page = max(0, int(parameter(request, "page", "0")))
    start = page * size
    rows = cases[start:start + size]
    if page > 0 and start - 1 < len(cases):
        rows = [cases[start - 1]] + rows
    request.send_json({
        "total": len(cases),
        "first": start + 1 if start < len(cases) else 0,
        "last": min(start + size, len(cases)),
        "rows": rows,
        # Config "wrapPaging": the next-page control of the last page leads back to the first.
        "wrap": bool(state.config.get("wrapPaging")),
    })


@route("GET", "/api/sprawy/all")
def sprawy_all(request):
    request.send_json(filtered(request))


@route("GET", "/app")
def app_page(request):
    """The application without a session, for tests that start on its pages directly."""
    request.send_html(request.render("app/index.html", login=""))


@route("GET", "/")
def home(request):
    """After login the portal opens on its application (in place of the bare landing page)."""
    login = request.session_login()
    if login is None:
        request.redirect("/login", status=302)
        return
    request.send_html(request.render("app/index.html", login=login))
