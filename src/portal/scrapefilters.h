#pragma once

#include <QMetaType>
#include <QString>

/** The five search filters of the form; an empty text (zero length) means "not set". */
struct ScrapeFilters
{
    Q_GADGET
    // Lets QML bind each filter field; a write through QML replaces the whole record.
    Q_PROPERTY(QString status MEMBER status)
    Q_PROPERTY(QString dataOd MEMBER dataOd)
    Q_PROPERTY(QString dataDo MEMBER dataDo)
    Q_PROPERTY(QString podmiot MEMBER podmiot)
    Q_PROPERTY(QString przedmiot MEMBER przedmiot)

public:
    QString status;
    QString dataOd;
    QString dataDo;
    QString podmiot;
    QString przedmiot;
};

Q_DECLARE_METATYPE(ScrapeFilters)
