#include "portal/courtcase.h"
#include "portal/unicodetext.h"

#include <QTest>

using namespace Qt::StringLiterals;

class RecordsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Cells fill the nine fields in column order; missing ones stay empty, extra ones are dropped.
    void cellsFillFieldsInOrder_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("three, spaces kept") << QStringList{u" I C 1/24 "_s, u"Sąd"_s, u"Wydział"_s}
                                            << QStringList{u" I C 1/24 "_s, u"Sąd"_s, u"Wydział"_s, {}, {}, {}, {}, {}, {}};
        QStringList eleven;
        for (int i = 0; i < 11; ++i)
            eleven << QString::number(i);
        QTest::newRow("eleven") << eleven << eleven.first(9);
    }

    void cellsFillFieldsInOrder()
    {
        QFETCH(QStringList, cells);
        QFETCH(QStringList, expected);
        QCOMPARE(CourtCase(cells).columnValues(), expected);
    }

    // Records are equal by id and by canonically equivalent texts, and hash alike when equal.
    void equalityFollowsIdAndCanonicalText()
    {
        const CourtCase a(QStringList{u"I C 1/24"_s, u"Sąd Rejonowy w Łodzi"_s});
        QVERIFY(a != CourtCase(a.columnValues()));

        CourtCase decomposed = a;
        decomposed.sad = a.sad.normalized(QString::NormalizationForm_D);
        QVERIFY(decomposed.sad != a.sad);
        QCOMPARE(decomposed, a);
        QCOMPARE(qHash(decomposed), qHash(a));

        CourtCase changed = a;
        changed.status = u"x"_s;
        QVERIFY(changed != a);
    }

    // Lone surrogates become U+FFFD; well-formed pairs stay.
    void loneSurrogatesBecomeReplacementCharacters()
    {
        QString text = QString::fromUtf16(u"a\U0001F600");
        text.append(QChar(0xD800)).append(u'y').append(QChar(0xDC00));
        QCOMPARE(UnicodeText::replacingLoneSurrogates(text), QString::fromUtf16(u"a\U0001F600\uFFFDy\uFFFD"));
    }
};

QTEST_GUILESS_MAIN(RecordsTest)
#include "tst_records.moc"
