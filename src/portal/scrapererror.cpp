#include "scrapererror.h"

using namespace Qt::StringLiterals;

QString ScraperError::errorDescription() const
{
    switch (m_kind) {
    case Kind::InvalidURL:
        return u"Nieprawidłowy URL: "_s + m_payload;
    case Kind::ElementNotFound:
        return u"Nie znaleziono elementu: "_s + m_payload;
    case Kind::Timeout:
        return u"Przekroczono czas: "_s + m_payload;
    case Kind::LoginFailed:
        return u"Logowanie nie powiodło się. Sprawdź dane."_s;
    case Kind::Cancelled:
        return u"Anulowano"_s;
    }
    Q_UNREACHABLE();
    return {};
}
