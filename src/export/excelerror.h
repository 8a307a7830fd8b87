#pragma once

#include "portal/localizederror.h"

#include <QString>

/** The one failure of the workbook export: one Polish message, with the cause carried alongside. */
class ExcelError : public LocalizedError
{
public:
    /** The workbook could not be built or saved. */
    [[nodiscard]] static ExcelError writeFailed() { return ExcelError({}); }
    /** The same error carrying the cause in the library's or the system's own words. */
    [[nodiscard]] static ExcelError writeFailed(const QString &detail) { return ExcelError(detail); }

    /** "Nie udało się zapisać pliku XLSX." */
    [[nodiscard]] QString errorDescription() const override;

    /** The cause, shown to the user and logged after the message; empty when there is none.
     *  Not part of equality. */
    [[nodiscard]] QString detail() const { return m_detail; }

    /** The error has a single case, so any two are equal. */
    friend bool operator==(const ExcelError &, const ExcelError &) { return true; }

private:
    explicit ExcelError(QString detail)
        : m_detail(std::move(detail))
    {
    }

    QString m_detail;
};

/** One value, one hash. */
inline size_t qHash(const ExcelError &, size_t seed = 0) { return seed; }
