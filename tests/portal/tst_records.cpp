#include "portal/courtcase.h"
#include "portal/scrapererror.h"
#include "portal/unicodetext.h"

#include <QTest>

using namespace Qt::StringLiterals;

class RecordsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cellsFillFieldsInOrder_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QStringList>("expected");
        const QStringList nineEmpty(9);
        QTest::newRow("none") << QStringList() << nineEmpty;
        QTest::newRow("three") << QStringList{u"I C 1/24"_s, u"Sąd"_s, u"Wydział"_s}
                               << QStringList{u"I C 1/24"_s, u"Sąd"_s, u"Wydział"_s, {}, {}, {}, {}, {}, {}};
        QStringList eleven;
        for (int i = 0; i < 11; ++i)
            eleven << QString::number(i);
        QTest::newRow("eleven") << eleven << eleven.first(9);
        QTest::newRow("spaces kept") << QStringList{u" A "_s}
                                     << QStringList{u" A "_s, {}, {}, {}, {}, {}, {}, {}, {}};
    }

    void cellsFillFieldsInOrder()
    {
        QFETCH(QStringList, cells);
        QFETCH(QStringList, expected);
        const CourtCase record(cells);
        QCOMPARE(record.columnValues(), expected);
        QVERIFY(!record.id().isNull());
    }

    void equalityFollowsIdAndCanonicalText()
    {
        const QStringList cells{u"I C 1/24"_s, u"Sąd Rejonowy w Łodzi"_s};
        const CourtCase a(cells);
        const CourtCase b(cells);
        QVERIFY(a != b); // every record gets its own id

        const CourtCase copy = a;
        QCOMPARE(copy, a);
        QCOMPARE(qHash(copy), qHash(a));

        CourtCase decomposed = a;
        decomposed.sad = a.sad.normalized(QString::NormalizationForm_D);
        QVERIFY(decomposed.sad != a.sad);
        QCOMPARE(decomposed, a);
        QCOMPARE(qHash(decomposed), qHash(a));

        CourtCase changed = a;
        changed.status = u"x"_s;
        QVERIFY(changed != a);
    }

    void loneSurrogatesBecomeReplacementCharacters()
    {
        const QString pair = QString::fromUtf16(u"a\U0001F600b");
        QCOMPARE(UnicodeText::replacingLoneSurrogates(pair), pair);
        QString lone = u"x"_s;
        lone.append(QChar(0xD800)).append(u'y').append(QChar(0xDC00));
        QCOMPARE(UnicodeText::replacingLoneSurrogates(lone), QString::fromUtf16(u"x\uFFFDy\uFFFD"));
    }

    void scraperErrorMessages()
    {
        QCOMPARE(ScraperError::elementNotFound(u"Apelacja dropdown"_s).errorDescription(),
                 u"Nie znaleziono elementu: Apelacja dropdown"_s);
        QCOMPARE(ScraperError::invalidURL({}).errorDescription(), u"Nieprawidłowy URL: "_s);
        QCOMPARE(ScraperError::loginFailed().errorDescription(), u"Logowanie nie powiodło się. Sprawdź dane."_s);
        QCOMPARE(ScraperError::cancelled().errorDescription(), u"Anulowano"_s);
        QCOMPARE(QString::fromUtf8(ScraperError::cancelled().what()), u"Anulowano"_s);
    }
};

QTEST_GUILESS_MAIN(RecordsTest)
#include "tst_records.moc"
