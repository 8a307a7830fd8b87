#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

/** One row of the portal's case table. Texts are kept exactly as read. */
class CourtCase
{
public:
    /** A new record with a fresh id; cells fill the nine texts in order, missing ones empty, extra ones dropped. */
    explicit CourtCase(const QStringList &cells = {});

    [[nodiscard]] QUuid id() const { return m_id; }

    /** The nine texts in column order; the id is not among them. */
    [[nodiscard]] QStringList columnValues() const;

    QString sygnatura;
    QString sad;
    QString wydzial;
    QString przedmiot;
    QString glownePodmioty;
    QString referent;
    QString dataWplywu;
    QString dataZakonczenia;
    QString status;

    /** All ten fields; the texts under canonical equivalence. */
    friend bool operator==(const CourtCase &a, const CourtCase &b);

private:
    QUuid m_id;
};

size_t qHash(const CourtCase &record, size_t seed = 0);
