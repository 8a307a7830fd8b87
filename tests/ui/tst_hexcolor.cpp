#include <QTest>

#include "ui/hexcolor.h"

using namespace Qt::StringLiterals;

class HexColorTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void colorFromHex_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QRgb>("rgb");

        QTest::newRow("number sign in front") << u"#1B2A4A"_s << qRgb(27, 42, 74);
        QTest::newRow("lower case") << u"c8e000"_s << qRgb(200, 224, 0);
        QTest::newRow("three digits") << u"FFF"_s << qRgb(0, 0, 0);
        QTest::newRow("empty") << QString() << qRgb(0, 0, 0);
        QTest::newRow("eight digits") << u"1B2A4A80"_s << qRgb(0, 0, 0);
        QTest::newRow("scan stops at G") << u"12G456"_s << qRgb(0, 0, 18);
        QTest::newRow("0x prefix") << u"0x1234"_s << qRgb(0, 18, 52);
        QTest::newRow("sign inside") << u"1B#A4A"_s << qRgb(0, 0, 27);
        QTest::newRow("trimmed both ends") << u"  (#F5F6F8);"_s << qRgb(245, 246, 248);
        QTest::newRow("white space inside is kept") << u"DE F71"_s << qRgb(0, 0, 0xDE);
        QTest::newRow("combining mark joins its letter") << u"e\u030112345"_s << qRgb(0, 0, 14);
        // A mark counts as alphanumeric: it is not trimmed and makes a seventh character.
        QTest::newRow("leading combining mark kept") << u"\u0301123456"_s << qRgb(0, 0, 0);
        QTest::newRow("symbols outside the BMP trimmed")
            << u"\U0001F642123456\U0001F642"_s << qRgb(0x12, 0x34, 0x56);
        QTest::newRow("0x alone") << u"0xZZZZ"_s << qRgb(0, 0, 0);
    }

    // The theme's colour builder: trimmed, scanned like a hex scanner, six characters or black.
    void colorFromHex()
    {
        QFETCH(QString, input);
        QFETCH(QRgb, rgb);
        const QColor colour = ::colorFromHex(input);
        QCOMPARE(colour.rgba(), rgb);
        QCOMPARE(colour.spec(), QColor::Rgb);
    }
};

QTEST_GUILESS_MAIN(HexColorTest)
#include "tst_hexcolor.moc"
