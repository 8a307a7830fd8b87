#pragma once

#include "portal/localizederror.h"

#include <QString>

/** The one failure of the workbook export; the user sees the same Polish message whatever the cause. */
class ExcelError : public LocalizedError
{
public:
    /** The workbook could not be built or saved. */
    [[nodiscard]] static ExcelError writeFailed() { return ExcelError({}); }
    /** The same error carrying the library's or file system's own words for the log. */
    [[nodiscard]] static ExcelError writeFailed(const QString &detail) { return ExcelError(detail); }

    /** "Nie udało się zapisać pliku XLSX." */
    [[nodiscard]] QString errorDescription() const override;

    /** The technical cause (English, for logs); empty when there is none. Not part of equality. */
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
