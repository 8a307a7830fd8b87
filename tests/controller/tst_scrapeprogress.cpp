// The progress record: initial values and the rule that a change signal fires only for a real change.
#include "controller/scrapeprogress.h"

#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

class ScrapeProgressTest : public QObject
{
    Q_OBJECT

private:
    /** A spy on the change signal of @p property. */
    static std::unique_ptr<QSignalSpy> spyOn(const QObject &object, const char *property)
    {
        const QMetaObject *meta = object.metaObject();
        const QMetaProperty metaProperty = meta->property(meta->indexOfProperty(property));
        return std::make_unique<QSignalSpy>(&object, metaProperty.notifySignal());
    }

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
        QVERIFY(!progress.errorMessage().has_value());
        QVERIFY(!progress.hasErrorMessage());
    }

    // The phases keep their order, which the views rely on.
    void phaseOrder()
    {
        const QMetaEnum phases = QMetaEnum::fromType<ScrapePhase>();
        const QStringList expected
            = { u"idle"_s, u"launching"_s, u"loggingIn"_s, u"selectingApelacja"_s, u"navigating"_s,
                  u"filtering"_s, u"scraping"_s, u"saving"_s, u"done"_s, u"error"_s, u"stopped"_s };
        QCOMPARE(phases.keyCount(), expected.size());
        for (int i = 0; i < phases.keyCount(); ++i) {
            QCOMPARE(QString::fromLatin1(phases.key(i)), expected.at(i));
            QCOMPARE(phases.value(i), i);
        }
    }

    void twoWrites_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("first");
        QTest::addColumn<QVariant>("second");
        QTest::addColumn<int>("signals");

        const QDateTime moment(QDate(2025, 3, 5), QTime(14, 7, 3));
        QTest::newRow("same status text")
            << QByteArray("statusText") << QVariant(u"Logowanie..."_s) << QVariant(u"Logowanie..."_s) << 1;
        QTest::newRow("other status text")
            << QByteArray("statusText") << QVariant(u"a"_s) << QVariant(u"b"_s) << 2;
        QTest::newRow("canonically equal text")
            << QByteArray("statusText") << QVariant(u"Zak\u00f3\u0144czone"_s)
            << QVariant(u"Zako\u0301n\u0301czone"_s) << 1;
        QTest::newRow("initial status text")
            << QByteArray("statusText") << QVariant(QString()) << QVariant(QString()) << 0;
        QTest::newRow("same progress") << QByteArray("progressValue") << QVariant(0.5) << QVariant(0.5) << 1;
        QTest::newRow("negative zero") << QByteArray("progressValue") << QVariant(-0.0) << QVariant(0.0) << 0;
        QTest::newRow("NaN twice") << QByteArray("progressValue") << QVariant(std::nan(""))
                                   << QVariant(std::nan("")) << 2;
        QTest::newRow("same count") << QByteArray("recordCount") << QVariant(qint64(57))
                                    << QVariant(qint64(57)) << 1;
        QTest::newRow("unchanged count")
            << QByteArray("recordCount") << QVariant(qint64(0)) << QVariant(qint64(0)) << 0;
        QTest::newRow("page info dash")
            << QByteArray("pageInfo") << QVariant(u"\u2014"_s) << QVariant(u"1 / 3"_s) << 1;
        QTest::newRow("same start time")
            << QByteArray("startTime") << QVariant(moment) << QVariant(moment) << 1;
        QTest::newRow("later start time")
            << QByteArray("startTime") << QVariant(moment) << QVariant(moment.addSecs(1)) << 2;
        QTest::newRow("absent start time")
            << QByteArray("startTime") << QVariant(QDateTime()) << QVariant(QDateTime()) << 0;
        QTest::newRow("same seconds")
            << QByteArray("elapsedSeconds") << QVariant(qint64(65)) << QVariant(qint64(65)) << 1;
        QTest::newRow("same file") << QByteArray("outputFile")
                                   << QVariant(QUrl::fromLocalFile(u"/tmp/a.xlsx"_s))
                                   << QVariant(QUrl::fromLocalFile(u"/tmp/a.xlsx"_s)) << 1;
        QTest::newRow("file then none")
            << QByteArray("outputFile") << QVariant(QUrl::fromLocalFile(u"/tmp/a.xlsx"_s)) << QVariant(QUrl())
            << 2;
        QTest::newRow("same phase") << QByteArray("phase") << QVariant::fromValue(ScrapePhase::done)
                                    << QVariant::fromValue(ScrapePhase::done) << 1;
    }

    // Writing a value equal to the stored one publishes nothing; a different one publishes once.
    void twoWrites()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, first);
        QFETCH(QVariant, second);
        QFETCH(int, signals);

        ScrapeProgress progress;
        const auto spy = spyOn(progress, property.constData());
        QVERIFY(progress.setProperty(property.constData(), first));
        QVERIFY(progress.setProperty(property.constData(), second));
        QCOMPARE(spy->count(), signals);
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
        QCOMPARE(spy.count(), 1);
        QVERIFY(progress.hasErrorMessage());
        progress.setErrorMessage(u""_s);
        QCOMPARE(spy.count(), 1);
        progress.setErrorMessage(u"Nie udało się zalogować."_s);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(progress.errorMessageText(), u"Nie udało się zalogować."_s);
        progress.setErrorMessage(std::nullopt);
        QCOMPARE(spy.count(), 3);
        QVERIFY(!progress.hasErrorMessage());
    }

    // A change concerns one property: the elapsed time does not touch the status line's observers.
    void changesStayWithTheirProperty()
    {
        ScrapeProgress progress;
        QSignalSpy status(&progress, &ScrapeProgress::statusTextChanged);
        QSignalSpy elapsed(&progress, &ScrapeProgress::elapsedSecondsChanged);
        QSignalSpy count(&progress, &ScrapeProgress::recordCountChanged);
        progress.setElapsedSeconds(1);
        progress.setElapsedSeconds(2);
        QCOMPARE(elapsed.count(), 2);
        QCOMPARE(status.count(), 0);
        QCOMPARE(count.count(), 0);
        progress.setRecordCount(std::numeric_limits<qint64>::max());
        QCOMPARE(count.count(), 1);
        QCOMPARE(elapsed.count(), 2);
    }
};

QTEST_GUILESS_MAIN(ScrapeProgressTest)
#include "tst_scrapeprogress.moc"
