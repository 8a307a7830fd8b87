#include "export/outputfile.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>
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
        QTest::newRow("empty") << u""_s << u""_s;
        QTest::newRow("polish letters") << u"ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ"_s << u"ąćęłńóśźż_ĄĆĘŁŃÓŚŹŻ"_s;
        QTest::newRow("slashes and symbols") << u"a/b\\c:d*e?f\"g<h>i|j%k#l€m+n"_s << u"abcdefghijklmn"_s;
        QTest::newRow("line breaks dropped") << u"a\nb\r\nc\u2028d"_s << u"abcd"_s;
        QTest::newRow("control characters dropped") << u"a\u0001b\u007Fc"_s << u"abc"_s;
        QTest::newRow("inner tab kept") << u"a\tb"_s << u"a\tb"_s;
        QTest::newRow("tabs trimmed") << u"\t a b \t"_s << u"a_b"_s;
        QTest::newRow("no-break space kept, not replaced") << u"\u00A0a\u00A0b\u00A0"_s << u"a\u00A0b"_s;
        QTest::newRow("numbers") << u"Spółka 123 ½ \u0663"_s << u"Spółka_123_½_\u0663"_s;
        QTest::newRow("combining marks") << u"Zo\u0301\u0142w"_s << u"Zo\u0301\u0142w"_s;
        QTest::newRow("letter outside the BMP") << u"\U0001D400x"_s << u"\U0001D400x"_s;
        QTest::newRow("emoji dropped") << u"a\U0001F600b"_s << u"ab"_s;
        QTest::newRow("lone surrogate dropped") << u"a"_s + QChar(0xD800) + u"b"_s << u"ab"_s;
        QTest::newRow("cut to 40") << u"Przedsiębiorstwo Handlowo Usługowe Kowalski i Synowie"_s
                                   << u"Przedsiębiorstwo_Handlowo_Usługowe_Kowal"_s;
        QTest::newRow("cut on a former space") << QString(39, u'a') + u" bcd"_s << QString(39, u'a') + u"_"_s;
        QTest::newRow("exactly 40") << QString(40, u'x') << QString(40, u'x');
        QString decomposed;
        for (int i = 0; i < 45; ++i)
            decomposed += u"e\u0301"_s;
        QTest::newRow("40 clusters, not 40 code units") << decomposed << decomposed.left(80);
        QTest::newRow("punctuation counted before cut")
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
        QTest::newRow("last minute of the day")
            << u"Apelacja szczecińska"_s << u""_s << QDateTime(QDate(2024, 1, 2), QTime(23, 59, 59))
            << u"/tmp"_s << u"/tmp/szczecińska_sprawy_20240102_2359.xlsx"_s;
        QTest::newRow("every occurrence removed")
            << u"Apelacja Apelacja krakowska"_s << u""_s << march << u"/tmp"_s
            << u"/tmp/krakowska_sprawy_20250305_1407.xlsx"_s;
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
            const QUrl url = makeOutputURL(apelacja, podmiot, QUrl::fromLocalFile(folder), moment);
            QVERIFY(url.isLocalFile());
            QCOMPARE(url.toLocalFile(), expected);
        }
        QVERIFY(QLocale().toString(5) != u"5"_s); // that locale really has other digits
    }

    // Without a given moment the current local minute is used.
    void currentMinute()
    {
        const QDateTime before = QDateTime::currentDateTime();
        const QString name
            = makeOutputURL(u"Apelacja rzeszowska"_s, u"Jan"_s, QUrl::fromLocalFile(u"/tmp"_s)).fileName();
        const QDateTime after = QDateTime::currentDateTime();
        const QRegularExpression pattern(u"^rzeszowska_sprawy_Jan_(\\d{8}_\\d{4})\\.xlsx$"_s);
        const QRegularExpressionMatch match = pattern.match(name);
        QVERIFY2(match.hasMatch(), qPrintable(name));
        const QString stamp = match.captured(1);
        QVERIFY(stamp == before.toString(u"yyyyMMdd_HHmm"_s) || stamp == after.toString(u"yyyyMMdd_HHmm"_s));
    }
};

QTEST_GUILESS_MAIN(OutputFileTest)
#include "tst_outputfile.moc"
