// The progress record publishes a change only when a value really differs.
#include "controller/scrapeprogress.h"

#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

class ScrapeProgressTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void twoWrites_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("first");
        QTest::addColumn<QVariant>("second");
        QTest::addColumn<int>("signals");

        const QDateTime moment(QDate(2025, 3, 5), QTime(14, 7, 3));
        const QVariant file = QUrl::fromLocalFile(u"/tmp/a.xlsx"_s);
        const auto row
            = [](const char *name, const char *property, const QVariant &first, const QVariant &second,
                  int signals) { QTest::newRow(name) << QByteArray(property) << first << second << signals; };
        row("same phase", "phase", QVariant::fromValue(ScrapePhase::done),
            QVariant::fromValue(ScrapePhase::done), 1);
        row("same text", "statusText", u"Logowanie..."_s, u"Logowanie..."_s, 1);
        row("canonically equal text", "pageInfo", u"Zak\u00f3\u0144czone"_s, u"Zako\u0301n\u0301czone"_s, 1);
        row("negative zero", "progressValue", -0.0, 0.0, 0);
        row("NaN twice", "progressValue", std::nan(""), std::nan(""), 2);
        row("same count", "recordCount", qint64(57), qint64(57), 1);
        row("same start time", "startTime", moment, moment, 1);
        row("absent start time", "startTime", QDateTime(), QDateTime(), 0);
        row("same seconds", "elapsedSeconds", qint64(65), qint64(65), 1);
        row("same file", "outputFile", file, file, 1);
        row("file then none", "outputFile", file, QUrl(), 2);
    }

    // Two writes publish once per real change, only for the written property; the later value is kept.
    void twoWrites()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, first);
        QFETCH(QVariant, second);
        QFETCH(int, signals);

        ScrapeProgress progress;
        const QMetaObject *meta = progress.metaObject();
        std::vector<std::unique_ptr<QSignalSpy>> others;
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            if (meta->property(i).name() != property && meta->property(i).hasNotifySignal())
                others.push_back(std::make_unique<QSignalSpy>(&progress, meta->property(i).notifySignal()));
        }
        QSignalSpy spy(&progress, meta->property(meta->indexOfProperty(property)).notifySignal());
        QVERIFY(progress.setProperty(property.constData(), first));
        QVERIFY(progress.setProperty(property.constData(), second));
        QCOMPARE(spy.count(), signals);
        for (const auto &other : others)
            QCOMPARE(other->count(), 0);
        if (second.typeId() == QMetaType::QString)
            QCOMPARE(progress.property(property.constData()), second);
    }
};

QTEST_GUILESS_MAIN(ScrapeProgressTest)
#include "tst_scrapeprogress.moc"
