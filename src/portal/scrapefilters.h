#pragma once

#include <QString>

/** The five search filters of the form; an empty text (zero length) means "not set". */
struct ScrapeFilters
{
    QString status;
    QString dataOd;
    QString dataDo;
    QString podmiot;
    QString przedmiot;
};
