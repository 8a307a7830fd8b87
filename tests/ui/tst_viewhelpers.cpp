#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include "ui/casetablemodel.h"
#include "ui/hexcolor.h"
#include "ui/viewhelpers.h"

using namespace Qt::StringLiterals;

class ViewHelpersTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hexColor_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("blue");

        QTest::newRow("number sign in front") << u"#1B2A4A"_s << 27 << 42 << 74;
        QTest::newRow("lower case") << u"c8e000"_s << 200 << 224 << 0;
        QTest::newRow("three digits") << u"FFF"_s << 0 << 0 << 0;
        QTest::newRow("empty") << QString() << 0 << 0 << 0;
        QTest::newRow("eight digits") << u"1B2A4A80"_s << 0 << 0 << 0;
        QTest::newRow("scan stops at G") << u"12G456"_s << 0 << 0 << 18;
        QTest::newRow("0x prefix") << u"0x1234"_s << 0 << 18 << 52;
        QTest::newRow("sign inside") << u"1B#A4A"_s << 0 << 0 << 27;
        // Further inputs around the same rules.
        QTest::newRow("trimmed both ends") << u"  (#F5F6F8);"_s << 245 << 246 << 248;
        QTest::newRow("white space inside is kept") << u"DE F71"_s << 0 << 0 << 0xDE;
        QTest::newRow("seven characters") << u"DE F71C"_s << 0 << 0 << 0;
        QTest::newRow("combining mark joins its letter") << u"e\u030112345"_s << 0 << 0 << 14;
        QTest::newRow("symbols outside the BMP trimmed")
            << u"\U0001F642123456\U0001F642"_s << 0x12 << 0x34 << 0x56;
        QTest::newRow("0x alone") << u"0xZZZZ"_s << 0 << 0 << 0;
    }

    // The theme's colour builder follows the documented scanner rules and is always opaque.
    void hexColor()
    {
        QFETCH(QString, input);
        QFETCH(int, red);
        QFETCH(int, green);
        QFETCH(int, blue);
        const QColor colour = colorFromHex(input);
        QCOMPARE(colour.red(), red);
        QCOMPARE(colour.green(), green);
        QCOMPARE(colour.blue(), blue);
        QCOMPARE(colour.alpha(), 255);
        QCOMPARE(colour.spec(), QColor::Rgb);
    }

    void caseCountWord_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("word");
        for (qint64 n : { 1 })
            QTest::addRow("%lld", n) << n << u"Sprawa"_s;
        for (qint64 n : { 2, 3, 4, 22, 23, 24, 102, 122, 1003 })
            QTest::addRow("%lld", n) << n << u"Sprawy"_s;
        for (qint64 n : { 0, 5, 11, 12, 13, 14, 21, 25, 100, 101, 111, 112, 113, 114, 1001 })
            QTest::addRow("%lld", n) << n << u"Spraw"_s;
    }

    // Polish plural of "sprawa" under a count.
    void caseCountWord()
    {
        QFETCH(qint64, count);
        QFETCH(QString, word);
        QCOMPARE(ViewHelpers::caseCountWord(count), word);
    }

    void elapsedText_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << u"0:00"_s;
        QTest::newRow("59") << qint64(59) << u"0:59"_s;
        QTest::newRow("60") << qint64(60) << u"1:00"_s;
        QTest::newRow("65") << qint64(65) << u"1:05"_s;
        QTest::newRow("605") << qint64(605) << u"10:05"_s;
        QTest::newRow("3600 has no hours field") << qint64(3600) << u"60:00"_s;
        QTest::newRow("3725") << qint64(3725) << u"62:05"_s;
    }

    void elapsedText()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(ViewHelpers::elapsedText(seconds), text);
    }

    void percentText_data()
    {
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0.0 << u"0%"_s;
        QTest::newRow("0.25") << 0.25 << u"25%"_s;
        QTest::newRow("0.95") << 0.95 << u"95%"_s;
        QTest::newRow("1.0") << 1.0 << u"100%"_s;
        QTest::newRow("0.3 + 0.6 truncates") << (0.3 + 0.6) << u"89%"_s;
        QTest::newRow("above one") << 1.2 << u"120%"_s;
    }

    // The percentage truncates the hundredfold toward zero, even just under a whole number.
    void percentText()
    {
        QFETCH(double, fraction);
        QFETCH(QString, text);
        QCOMPARE(ViewHelpers::percentText(fraction), text);
    }

    void columns()
    {
        const QStringList titles = ViewHelpers::tableColumns();
        QCOMPARE(titles.size(), 9);
        QCOMPARE(titles.first(), u"Sygnatura"_s);
        QCOMPARE(titles.last(), u"Status"_s);
        QList<int> widths;
        int total = 0;
        for (const QString &title : titles) {
            widths.append(ViewHelpers::tableColumnWidth(title));
            total += widths.last();
        }
        QCOMPARE(widths, (QList<int> { 120, 160, 160, 220, 220, 160, 100, 100, 90 }));
        QCOMPARE(total, 1330);
        QCOMPARE(ViewHelpers::tableColumnWidth(u"sygnatura"_s), 100);
        QCOMPARE(ViewHelpers::tableColumnWidth(QString()), 100);
    }

    void tableHeight_data()
    {
        QTest::addColumn<qint64>("cases");
        QTest::addColumn<int>("height");
        QTest::newRow("1") << qint64(1) << 52;
        QTest::newRow("16") << qint64(16) << 382;
        QTest::newRow("17") << qint64(17) << 400;
        QTest::newRow("250") << qint64(250) << 400;
    }

    void tableHeight()
    {
        QFETCH(qint64, cases);
        QFETCH(int, height);
        QCOMPARE(ViewHelpers::tableHeight(cases), height);
    }

    void folderPath()
    {
        QCOMPARE(ViewHelpers::folderPath(QUrl::fromLocalFile(u"/home/ania/Pulpit z odstępem"_s)),
            u"/home/ania/Pulpit z odstępem"_s);
    }

    void tableModel_data()
    {
        QTest::addColumn<int>("cases");
        QTest::addColumn<int>("rows");
        QTest::addColumn<qint64>("overflow");
        QTest::newRow("none") << 0 << 0 << qint64(0);
        QTest::newRow("one") << 1 << 1 << qint64(0);
        QTest::newRow("exactly 100") << 100 << 100 << qint64(0);
        QTest::newRow("101") << 101 << 100 << qint64(1);
        QTest::newRow("250") << 250 << 100 << qint64(150);
    }

    // The table holds at most the first 100 cases, in order, and counts the rest.
    void tableModel()
    {
        QFETCH(int, cases);
        QFETCH(int, rows);
        QFETCH(qint64, overflow);

        CaseTableModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(&model, &CaseTableModel::casesChanged);
        QList<CourtCase> list;
        for (int i = 0; i < cases; ++i)
            list.append(CourtCase({ u"S%1"_s.arg(i), u"Sąd"_s, u"W"_s, u"P"_s, u"G"_s, u"R"_s, u"D1"_s,
                u"D2"_s, u"St%1"_s.arg(i) }));
        model.setCaseList(list);

        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.rowCount(), rows);
        QCOMPARE(model.totalCount(), qint64(cases));
        QCOMPARE(model.overflowCount(), overflow);
        for (int i = 0; i < rows; ++i) {
            const QStringList cells = model.data(model.index(i), CaseTableModel::CellsRole).toStringList();
            QCOMPARE(cells, list.at(i).columnValues());
            QCOMPARE(model.data(model.index(i), CaseTableModel::PositionRole).toInt(), i);
        }
    }
};

QTEST_GUILESS_MAIN(ViewHelpersTest)
#include "tst_viewhelpers.moc"
