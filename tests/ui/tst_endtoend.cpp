// The application as a user drives it: the real window over a controller pointed at the fake
// portal, typed into with key and mouse events, run to the results and back to the form.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QPushButton>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/velmoriaapp.h"
#include "controller/scraperviewmodel.h"
#include "fakeportal.h"
#include "portal/cancellation.h"

using namespace Qt::StringLiterals;

class EndToEndTest : public QObject
{
    Q_OBJECT

public:
    explicit EndToEndTest(VelmoriaApp &app)
        : m_app(app)
    {
    }

private:
    QQuickItem *item(const QString &name) const { return m_window->findChild<QQuickItem *>(name); }
    QString text(const QString &name, const char *property = "text") const
    {
        return item(name)->property(property).toString();
    }
    QString screenName() const
    {
        auto *screen = item(u"screenLoader"_s)->property("item").value<QObject *>();
        return screen ? screen->objectName() : QString();
    }

    void click(QQuickItem *target)
    {
        QTest::mouseClick(m_window, Qt::LeftButton, {},
            target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint());
    }

    // Key events carrying the text, so letters beyond ASCII are typed as a keyboard would.
    void type(const QString &text)
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, m_window, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    void saveScreenshot(const QImage &image, const QString &name)
    {
        QDir(QStringLiteral(VELMORIA_SCREENSHOT_DIR)).mkpath(u"screenshots"_s);
        QVERIFY(image.save(QStringLiteral(VELMORIA_SCREENSHOT_DIR "/screenshots/endtoend-") + name));
    }

    // What a Text item showed when the spy started and every text it changed to since.
    static QStringList shownTexts(const QString &first, const QSignalSpy *spy)
    {
        QStringList texts { first };
        for (const QList<QVariant> &arguments : *spy)
            texts.append(arguments.at(0).toString());
        return texts;
    }

    struct ChooserSeen
    {
        QString startFolder;
        bool foldersOnly = false;
        QString cancelText;
    };

    // Presses "Zmień" and answers the modal folder chooser: cancels, or accepts once in @p folder.
    // Meanwhile a click on the start button must not reach the form.
    ChooserSeen answerFolderChooser(const QString &folder)
    {
        ChooserSeen seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            poll.stop();
            seen = { dialog->directory().absolutePath(),
                dialog->fileMode() == QFileDialog::Directory && dialog->testOption(QFileDialog::ShowDirsOnly),
                dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->text() };
            click(item(u"startButton"_s));
            if (folder.isEmpty()) {
                dialog->reject();
            } else {
                dialog->setDirectory(folder);
                static_cast<QDialog *>(dialog)->accept();
            }
        });
        poll.start(10);
        click(item(u"changeFolderButton"_s));
        return seen;
    }

    VelmoriaApp &m_app;
    std::unique_ptr<FakePortal> m_portal;
    QTemporaryDir m_folder;
    ScraperViewModel *m_viewModel = nullptr;
    QQuickWindow *m_window = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        m_portal = std::make_unique<FakePortal>();
        QVERIFY2(m_portal->isRunning(), qPrintable(m_portal->errorString()));
        QVERIFY(m_folder.isValid());
        setPauseScaleForTesting(0.05);
        m_viewModel = new ScraperViewModel(m_portal->url(u"/login"_s));
        m_viewModel->setOutputDirectory(QUrl::fromLocalFile(QFileInfo(m_folder.path()).absolutePath()));
        m_window = m_app.openWindow(m_viewModel);
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        m_window->requestActivate();
        QTRY_VERIFY(m_window->isActive());
    }

    void wholeRun()
    {
        QTRY_COMPARE(screenName(), u"loginView"_s);
        // The folder chooser is modal, in Polish and opens at the current folder; cancel keeps it,
        // and the folder the user has browsed to is the one stored.
        const QUrl startFolder = m_viewModel->outputDirectory();
        const ChooserSeen cancelled = answerFolderChooser({});
        QCOMPARE(cancelled.startFolder, startFolder.toLocalFile());
        QVERIFY(cancelled.foldersOnly);
        QCOMPARE(cancelled.cancelText, u"Anuluj"_s);
        QCOMPARE(m_viewModel->outputDirectory(), startFolder);
        QVERIFY(!m_viewModel->hasLoginError());
        answerFolderChooser(m_folder.path());
        QCOMPARE(m_viewModel->outputDirectory(), QUrl::fromLocalFile(m_folder.path()));
        QCOMPARE(QSettings().value(u"outputDir"_s).toString(), m_folder.path());

        click(item(u"loginField"_s));
        type(u"anna"_s);
        click(item(u"passwordField"_s));
        type(u"tajne hasło"_s);

        // The region from the picker's list, with the mouse.
        QQuickItem *picker = item(u"apelacjaPicker"_s);
        click(picker);
        auto *popup = picker->property("popup").value<QObject *>();
        QTRY_VERIFY(popup->property("opened").toBool());
        auto *list = popup->property("contentItem").value<QObject *>();
        QQuickItem *choice = nullptr;
        QTRY_VERIFY(
            QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, choice), Q_ARG(int, 1))
            && choice);
        click(choice);
        QTRY_VERIFY(!popup->property("visible").toBool());

        click(item(u"podmiotField"_s));
        type(u"Kowalski"_s);
        const QStringList entered { m_viewModel->login(), m_viewModel->password(), m_viewModel->selectedApelacja(),
            m_viewModel->filters().podmiot };
        QCOMPARE(entered, (QStringList { u"anna"_s, u"tajne hasło"_s, u"Apelacja gdańska"_s, u"Kowalski"_s }));
        saveScreenshot(m_window->grabWindow(), u"login.png"_s);

        const QStringList expected = m_portal->allCaseKeys(QUrlQuery { { u"region"_s, u"gdańska"_s }, { u"podmiot"_s, u"Kowalski"_s } });
        QVERIFY(!expected.isEmpty());

        // Follow what the progress screen shows from the moment it appears.
        QString firstStatus;
        QString firstPercent;
        std::unique_ptr<QSignalSpy> statusSpy;
        std::unique_ptr<QSignalSpy> percentSpy;
        QString buttonTitle;
        QImage progressShot;
        const auto screenConnection = connect(m_viewModel, &ScraperViewModel::viewStateChanged, this, [&] {
            if (screenName() != u"progressView"_s)
                return;
            firstStatus = text(u"statusLine"_s);
            firstPercent = text(u"percentText"_s);
            statusSpy = std::make_unique<QSignalSpy>(item(u"statusLine"_s), SIGNAL(textChanged(QString)));
            percentSpy = std::make_unique<QSignalSpy>(item(u"percentText"_s), SIGNAL(textChanged(QString)));
            buttonTitle = text(u"stopButton"_s);
            progressShot = m_window->grabWindow();
        });
        click(item(u"startButton"_s));
        QTRY_COMPARE_WITH_TIMEOUT(screenName(), u"resultsView"_s, 180000);
        disconnect(screenConnection);
        QCOMPARE(buttonTitle, u"Zatrzymaj"_s);
        saveScreenshot(progressShot, u"progress.png"_s);

        // The progress screen showed the steps in order, with a rising percentage from 0% to 100%.
        QVERIFY(statusSpy && percentSpy);
        const QStringList shown = shownTexts(firstStatus, statusSpy.get());
        QCOMPARE(shown.value(0), u"Uruchamianie..."_s);
        qsizetype previous = 0;
        for (const QString &step : { u"Logowanie..."_s, u"Wybieranie apelacji..."_s, u"Stosowanie filtrów..."_s,
                 u"Zapisywanie XLSX..."_s }) {
            QVERIFY2(shown.indexOf(step) > previous, qPrintable(shown.join(u", ")));
            previous = shown.indexOf(step);
        }
        const QStringList percentages = shownTexts(firstPercent, percentSpy.get());
        QCOMPARE(percentages.first(), u"0%"_s);
        QCOMPARE(percentages.last(), u"100%"_s);
        for (qsizetype i = 1; i < percentages.size(); ++i)
            QVERIFY2(percentages[i].chopped(1).toInt() >= percentages[i - 1].chopped(1).toInt(),
                qPrintable(percentages.join(u", ")));

        // The results screen: count, table rows and the file buttons.
        const qsizetype count = expected.size();
        QCOMPARE(text(u"statusLine"_s), u"Gotowe! Pobrano %1 spraw."_s.arg(count));
        QCOMPARE(text(u"countCard"_s, "value"), QString::number(count));
        QCOMPARE(item(u"caseRows"_s)->property("count").toInt(), int(std::min<qsizetype>(count, 100)));
        QVERIFY(item(u"openFileButton"_s)->isVisible());
        QVERIFY(item(u"showInFinderButton"_s)->isVisible());
        saveScreenshot(m_window->grabWindow(), u"results.png"_s);

        // The workbook, read by openpyxl, holds exactly the cases the portal has for the filter.
        const QUrl file = m_viewModel->progress()->outputFile();
        QCOMPARE(QFileInfo(file.toLocalFile()).absolutePath(), m_folder.path());
        QProcess reader;
        reader.start(QStringLiteral(VELMORIA_PYTHON3), { QStringLiteral(VELMORIA_WORKBOOK_READER), file.toLocalFile() });
        QVERIFY(reader.waitForFinished(60000));
        QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
        const QJsonObject book = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
        QCOMPARE(book.value(u"sheets"_s).toArray(), QJsonArray { u"Sprawy"_s });
        const QJsonArray rows = book.value(u"rows"_s).toArray();
        QCOMPARE(rows.at(0).toArray().at(0).toString(), u"Sygnatura"_s);
        QStringList written;
        for (qsizetype i = 1; i < rows.size(); ++i)
            written.append(rows.at(i).toArray().at(0).toString() + u'|' + rows.at(i).toArray().at(1).toString());
        QCOMPARE(written, expected);

        // Back to the form for a new search, with the entries kept.
        click(item(u"newSearchButton"_s));
        QTRY_COMPARE(screenName(), u"loginView"_s);
        QCOMPARE(m_viewModel->caseCount(), 0);
        QCOMPARE(m_viewModel->progress()->phase(), ScrapePhase::idle);
        const QStringList kept { text(u"loginField"_s), text(u"podmiotField"_s), text(u"apelacjaPicker"_s, "displayText") };
        QCOMPARE(kept, (QStringList { u"anna"_s, u"Kowalski"_s, u"Apelacja gdańska"_s }));
    }
};

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    VelmoriaApp app(argc, argv);
    QSettings().clear();
    EndToEndTest test(app);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_endtoend.moc"
