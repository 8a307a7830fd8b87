#pragma once

#include "portal/courtcase.h"

#include <QList>
#include <QStringList>
#include <QUrl>

/** The nine column titles, in the order of the CourtCase fields; shared with the results table. */
extern const QStringList tableColumns;

/**
 * Writes @p cases as a one-sheet workbook ("Sprawy": a frozen header row of tableColumns, then one row
 * per case in list order, every cell a shared string) to the local file @p destination.
 * Synchronous. The file is replaced atomically: on failure an earlier file of that name is left as it was.
 * @throws ExcelError when the package cannot be built or the file cannot be written; its detail
 *         gives the cause.
 */
void writeXLSX(const QList<CourtCase> &cases, const QUrl &destination);
