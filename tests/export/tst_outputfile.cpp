#include "export/outputfile.h"

#include <QDir>
#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;

class OutputFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void sanitize_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("polish letters") << u"ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ"_s << u"ąćęłńóśźż_ĄĆĘŁŃÓŚŹŻ"_s;
        QTest::newRow("letters, marks and numbers, outside the BMP too")
            << u"Spółka 123 ½ \u0663 Zo\u0301\u0142w \U0001D400"_s
            << u"Spółka_123_½_\u0663_Zo\u0301\u0142w_\U0001D400"_s;
        QTest::newRow("symbols, line breaks, controls, emoji, lone surrogates dropped")
            << u"a/b\\c:d*e?f\"g<h>i|j%k#l€m+n\no\r\np\u2028q\u0001r\u007Fs\U0001F600t"_s + QChar(0xD800)
                + u"u"_s
            << u"abcdefghijklmnopqrstu"_s;
        QTest::newRow("tabs kept inside, trimmed at the ends") << u"\t a b\tc \t"_s << u"a_b\tc"_s;
        QTest::newRow("no-break space kept, not replaced") << u"\u00A0a\u00A0b\u00A0"_s << u"a\u00A0b"_s;
        QTest::newRow("cut to 40") << u"Przedsiębiorstwo Handlowo Usługowe Kowalski i Synowie"_s
                                   << u"Przedsiębiorstwo_Handlowo_Usługowe_Kowal"_s;
        QTest::newRow("cut on a former space") << QString(39, u'a') + u" bcd"_s << QString(39, u'a') + u"_"_s;
        const QString decomposed = u"e\u0301"_s.repeated(45);
        QTest::newRow("40 clusters, not 40 code units") << decomposed << decomposed.left(80);
        QTest::newRow("punctuation dropped before the cut")
            << u"....."_s + QString(40, u'b') << QString(40, u'b');
    }

    void sanitize()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(sanitizeFileComponent(text), expected);
    }

    void fileName_data()
    {
        QTest::addColumn<QString>("apelacja");
        QTest::addColumn<QString>("podmiot");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        const QDateTime march(QDate(2025, 3, 5), QTime(14, 7, 59));
        const QString folder = u"/data/Wyniki spraw"_s;
        QTest::newRow("no party") << u"Apelacja wrocławska"_s << u""_s << march << folder
                                  << u"/data/Wyniki spraw/wrocławska_sprawy_20250305_1407.xlsx"_s;
        QTest::newRow("party")
            << u"Apelacja wrocławska"_s << u"Alfa Beta-Gamma"_s << march << folder
            << u"/data/Wyniki spraw/wrocławska_sprawy_Alfa_Beta-Gamma_20250305_1407.xlsx"_s;
        QTest::newRow("party of punctuation")
            << u"Apelacja wrocławska"_s << u"..."_s << march << folder
            << u"/data/Wyniki spraw/wrocławska_sprawy__20250305_1407.xlsx"_s;
        QTest::newRow("party of a space") << u"Apelacja wrocławska"_s << u" "_s << march << folder
                                          << u"/data/Wyniki spraw/wrocławska_sprawy__20250305_1407.xlsx"_s;
        QTest::newRow("company") << u"Apelacja łódzka"_s << u"  A.B. sp. z o.o. "_s << march << folder
                                 << u"/data/Wyniki spraw/łódzka_sprawy_AB_sp_z_oo_20250305_1407.xlsx"_s;
        QTest::newRow("padded 24-hour time, trailing slash")
            << u"Apelacja gdańska"_s << u""_s << QDateTime(QDate(2025, 12, 31), QTime(9, 5)) << u"/tmp/x/"_s
            << u"/tmp/x/gdańska_sprawy_20251231_0905.xlsx"_s;
        QTest::newRow("every occurrence removed")
            << u"Apelacja Apelacja krakowska"_s << u""_s << march << u"/tmp"_s
            << u"/tmp/krakowska_sprawy_20250305_1407.xlsx"_s;
        // Clusters of many bytes: the name is cut at cluster boundaries to 255 bytes of UTF-8,
        // the party part first (a Hangul syllable of three jamo is 9 bytes), then the region part.
        const QString jamo = u"\u1100\u1161\u11A8"_s;
        QTest::newRow("party cut to 255 bytes")
            << u"Apelacja łódzka"_s << jamo.repeated(45) << march << u"/tmp"_s
            << u"/tmp/łódzka_sprawy_"_s + jamo.repeated(24) + u"_20250305_1407.xlsx"_s;
        const QString stacked = u"a\u0300\u0301\u0302\u0303\u0304\u0305\u0306\u0307\u0308\u0309"_s;
        QTest::newRow("party emptied, region cut")
            << u"Apelacja "_s + stacked.repeated(40) << jamo.repeated(40) << march << u"/tmp"_s
            << u"/tmp/"_s + stacked.repeated(10) + u"_sprawy__20250305_1407.xlsx"_s;
        const QString exactly = u"ą"_s.repeated(39) + u"a"_s + u"\u0301"_s.repeated(69);
        QTest::newRow("exactly 255 bytes kept")
            << u"Apelacja wrocławska"_s << exactly << march << u"/tmp"_s
            << u"/tmp/wrocławska_sprawy_"_s + exactly + u"_20250305_1407.xlsx"_s;
    }

    // The name whatever the user's locale: ASCII digits, Gregorian calendar.
    void fileName()
    {
        QFETCH(QString, apelacja);
        QFETCH(QString, podmiot);
        QFETCH(QDateTime, moment);
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        for (const QLocale &locale : { QLocale::c(), QLocale(QLocale::Arabic, QLocale::Egypt) }) {
            QLocale::setDefault(locale);
            QCOMPARE(makeOutputURL(apelacja, podmiot, QUrl::fromLocalFile(folder), moment).toLocalFile(),
                expected);
        }
        QVERIFY(QLocale().toString(5) != u"5"_s); // that locale really has other digits
    }

    // Without a given moment the current local minute is used.
    void currentMinute()
    {
        const auto nameAt = [](const QDateTime &moment) {
            return u"rzeszowska_sprawy_Jan_"_s + moment.toString(u"yyyyMMdd_HHmm"_s) + u".xlsx"_s;
        };
        const QDateTime before = QDateTime::currentDateTime();
        const QString name
            = makeOutputURL(u"Apelacja rzeszowska"_s, u"Jan"_s, QUrl::fromLocalFile(u"/tmp"_s)).fileName();
        const QDateTime after = QDateTime::currentDateTime();
        QVERIFY2(name == nameAt(before) || name == nameAt(after), qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(OutputFileTest)
#include "tst_outputfile.moc"
