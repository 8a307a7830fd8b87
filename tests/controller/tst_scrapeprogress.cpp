// The progress record: initial values and the rule that a change signal fires only for a real change.
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
    // A new record starts idle, empty and with the em dash as page information.
    void freshRecord()
    {
        const ScrapeProgress progress;
        QCOMPARE(progress.phase(), ScrapePhase::idle);
        QVERIFY(progress.statusText().isEmpty());
        QCOMPARE(progress.progressValue(), 0.0);
        QCOMPARE(progress.recordCount(), 0);
        QCOMPARE(progress.pageInfo(), u"\u2014"_s);
        QVERIFY(!progress.startTime().isValid());
        QCOMPARE(progress.elapsedSeconds(), 0);
        QVERIFY(progress.outputFile().isEmpty());
        QVERIFY(!progress.hasErrorMessage());
    }

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
        row("same status text", "statusText", u"Logowanie..."_s, u"Logowanie..."_s, 1);
        row("canonically equal text", "statusText", u"Zak\u00f3\u0144czone"_s, u"Zako\u0301n\u0301czone"_s,
            1);
        row("same progress", "progressValue", 0.5, 0.5, 1);
        row("negative zero", "progressValue", -0.0, 0.0, 0);
        row("NaN twice", "progressValue", std::nan(""), std::nan(""), 2);
        row("same count", "recordCount", qint64(57), qint64(57), 1);
        row("same page info", "pageInfo", u"1 / 3"_s, u"1 / 3"_s, 1);
        row("same start time", "startTime", moment, moment, 1);
        row("absent start time", "startTime", QDateTime(), QDateTime(), 0);
        row("same seconds", "elapsedSeconds", qint64(65), qint64(65), 1);
        row("same file", "outputFile", file, file, 1);
        row("file then none", "outputFile", file, QUrl(), 2);
    }

    // Writing a value equal to the stored one publishes nothing, a different one publishes once,
    // and a write never publishes a change of another property.
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
        // The later value is the one kept, even when it counted as equal.
        if (property == "statusText")
            QCOMPARE(progress.statusText(), second.toString());
    }

    // The message is optional: an empty message is present, and differs from none.
    void errorMessagePresence()
    {
        ScrapeProgress progress;
        QSignalSpy spy(&progress, &ScrapeProgress::errorMessageChanged);
        progress.setErrorMessage(std::nullopt);
        QCOMPARE(spy.count(), 0);
        progress.setErrorMessage(QString());
        progress.setErrorMessage(u""_s);
        QCOMPARE(spy.count(), 1);
        QVERIFY(progress.hasErrorMessage());
        progress.setErrorMessage(u"Nie udało się zalogować."_s);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(progress.errorMessageText(), u"Nie udało się zalogować."_s);
        progress.setErrorMessage(std::nullopt);
        QCOMPARE(spy.count(), 3);
        QVERIFY(!progress.hasErrorMessage());
    }
};

QTEST_GUILESS_MAIN(ScrapeProgressTest)
#include "tst_scrapeprogress.moc"
