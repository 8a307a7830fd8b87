#include "courtcase.h"

#include "portal/unicodetext.h"

#include <QHashFunctions>

#include <array>

namespace {

using Field = QString CourtCase::*;
constexpr std::array<Field, 9> textFields = {
    &CourtCase::sygnatura,  &CourtCase::sad,        &CourtCase::wydzial,
    &CourtCase::przedmiot,  &CourtCase::glownePodmioty, &CourtCase::referent,
    &CourtCase::dataWplywu, &CourtCase::dataZakonczenia, &CourtCase::status,
};

} // namespace

CourtCase::CourtCase(const QStringList &cells)
    : m_id(QUuid::createUuid())
{
    const qsizetype count = std::min<qsizetype>(cells.size(), textFields.size());
    for (qsizetype k = 0; k < count; ++k)
        this->*textFields[k] = cells.at(k);
}

QStringList CourtCase::columnValues() const
{
    QStringList values;
    values.reserve(textFields.size());
    for (const Field field : textFields)
        values.append(this->*field);
    return values;
}

bool operator==(const CourtCase &a, const CourtCase &b)
{
    if (a.m_id != b.m_id)
        return false;
    for (const auto field : textFields) {
        if (!UnicodeText::canonicallyEqual(a.*field, b.*field))
            return false;
    }
    return true;
}

size_t qHash(const CourtCase &record, size_t seed)
{
    QtPrivate::QHashCombine combine;
    seed = combine(seed, record.id());
    for (const QString &text : record.columnValues())
        seed = combine(seed, UnicodeText::canonicalForm(text));
    return seed;
}
