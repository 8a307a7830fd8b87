#include "export/outputfile.h"

#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;

class OutputFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Names must not depend on the user's locale: this one has other digits and another calendar.
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        QVERIFY(QLocale().toString(5) != u"5"_s);
    }

    void fileName_data()
    {
        QTest::addColumn<QString>("apelacja");
        QTest::addColumn<QString>("podmiot");
        QTest::addColumn<QString>("expected");
        // No party part; every "Apelacja " removed; padded digits.
        QTest::newRow("no party") << u"Apelacja Apelacja gdańska"_s << QString() << u"gdańska_sprawy_20250305_0407.xlsx"_s;
        // Letters, marks and numbers of any plane, inner tabs and no-break spaces stay; symbols, line
        // breaks, controls, emoji and lone surrogates go.
        const QString dropped = u"/\\:*?\"<>|%#€+\n\r\u2028\u0001\u007F\U0001F600"_s + QChar(0xD800);
        QTest::newRow("kept and dropped")
            << u"Apelacja łódzka"_s
            << u"\t Żółć½\u0663\U0001D400 Zo\u0301\u0142w\u00A0a\tb"_s + dropped + u"-1 \t"_s
            << u"łódzka_sprawy_Żółć½\u0663\U0001D400_Zo\u0301\u0142w\u00A0a\tb-1_20250305_0407.xlsx"_s;
        // 40 clusters, not code units, counted once the punctuation is gone; a former space may end it.
        const QString accented = u"e\u0301"_s.repeated(39);
        QTest::newRow("cut to 40") << u"Apelacja łódzka"_s << u"....."_s + accented + u" bcd"_s
                                   << u"łódzka_sprawy_"_s + accented + u"__20250305_0407.xlsx"_s;
        // Within 255 bytes of UTF-8, cut at clusters: the party part first (here to exactly 255: a Hangul
        // syllable of three jamo is 9 bytes, U+1D400 4), then the region part.
        const QString jamo = u"\u1100\u1161\u11A8"_s;
        QTest::newRow("party cut to 255 bytes")
            << u"Apelacja łódzka"_s << jamo.repeated(24) + u"\U0001D400"_s + jamo.repeated(10)
            << u"łódzka_sprawy_"_s + jamo.repeated(24) + u"\U0001D400_20250305_0407.xlsx"_s;
        const QString stacked = u"a\u0300\u0301\u0302\u0303\u0304\u0305\u0306\u0307\u0308\u0309"_s;
        QTest::newRow("party emptied, region cut")
            << u"Apelacja "_s + stacked.repeated(40) << jamo.repeated(40)
            << stacked.repeated(10) + u"_sprawy__20250305_0407.xlsx"_s;
        const QString exactly = u"ą"_s.repeated(39) + u"a"_s + u"\u0301"_s.repeated(69);
        QTest::newRow("exactly 255 bytes kept")
            << u"Apelacja wrocławska"_s << exactly
            << u"wrocławska_sprawy_"_s + exactly + u"_20250305_0407.xlsx"_s;
    }

    void fileName()
    {
        QFETCH(QString, apelacja);
        QFETCH(QString, podmiot);
        QFETCH(QString, expected);
        const QUrl folder = QUrl::fromLocalFile(u"/data/Wyniki spraw"_s);
        const QDateTime moment(QDate(2025, 3, 5), QTime(4, 7, 59));
        QCOMPARE(makeOutputURL(apelacja, podmiot, folder, moment).toLocalFile(),
            u"/data/Wyniki spraw/"_s + expected);
    }
};

QTEST_GUILESS_MAIN(OutputFileTest)
#include "tst_outputfile.moc"
