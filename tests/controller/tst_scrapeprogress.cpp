// The progress record publishes a change only when a value really differs.
#include "controller/scrapeprogress.h"

#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>

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
        QTest::addColumn<int>("changes");
        const QVariant file = QUrl::fromLocalFile(u"/tmp/a.xlsx"_s);
        QTest::newRow("canonically equal text") << QByteArray("pageInfo") << QVariant(u"Zak\u00f3\u0144czone"_s)
                                                << QVariant(u"Zako\u0301n\u0301czone"_s) << 1;
        QTest::newRow("same count") << QByteArray("recordCount") << QVariant(qint64(57)) << QVariant(qint64(57)) << 1;
        QTest::newRow("file then none") << QByteArray("outputFile") << file << QVariant(QUrl()) << 2;
        QTest::newRow("absent start time") << QByteArray("startTime") << QVariant(QDateTime()) << QVariant(QDateTime()) << 0;
    }

    // Two writes publish once per real change, and only for the written property.
    void twoWrites()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, first);
        QFETCH(QVariant, second);
        ScrapeProgress progress;
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        const QMetaObject *meta = progress.metaObject();
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
            spies.push_back(std::make_unique<QSignalSpy>(&progress, meta->property(i).notifySignal()));
        QVERIFY(progress.setProperty(property.constData(), first));
        QVERIFY(progress.setProperty(property.constData(), second));
        int changes = 0;
        for (const auto &spy : spies)
            changes += int(spy->count());
        QTEST(changes, "changes");
    }
};

QTEST_GUILESS_MAIN(ScrapeProgressTest)
#include "tst_scrapeprogress.moc"
