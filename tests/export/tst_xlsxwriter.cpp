#include "export/excelerror.h"
#include "export/xlsxwriter.h"
#include "portal/courtcase.h"
#include "portal/unicodetext.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <zip.h>

#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QList<QByteArray> partNames { "[Content_Types].xml", "_rels/.rels", "xl/_rels/workbook.xml.rels",
    "xl/workbook.xml", "xl/sharedStrings.xml", "xl/styles.xml", "xl/worksheets/sheet1.xml" };

// The package's entry named @p name, read back with libzip, independently of how it was written.
QByteArray entryData(const QString &path, const char *name)
{
    int errorCode = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &errorCode);
    zip_stat_t stat;
    zip_file_t *file
        = archive && zip_stat(archive, name, 0, &stat) == 0 ? zip_fopen(archive, name, 0) : nullptr;
    QByteArray data(file ? qsizetype(stat.size) : 0, Qt::Uninitialized);
    if (file && zip_fread(file, data.data(), stat.size) != zip_int64_t(stat.size))
        data = "(unreadable)";
    if (file)
        zip_fclose(file);
    if (archive)
        zip_close(archive);
    return data;
}

// The package expected for an empty case list, one file per part.
QByteArray emptyWorkbookPart(const QByteArray &name)
{
    QFile file(QStringLiteral(VELMORIA_EXPORT_TEST_DATA "/emptyworkbook/") + QString::fromUtf8(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One sheet row in the expected form, from the string numbers of its nine cells.
QByteArray expectedRow(int row, const QList<int> &numbers)
{
    const QByteArray r = QByteArray::number(row);
    QByteArray text = "    <row r=\"" + r + "\">";
    for (int column = 0; column < numbers.size(); ++column) {
        text += "<c r=\"" + QByteArray(1, char('A' + column)) + r + "\" t=\"s\" s=\"" + (row == 1 ? "1" : "2")
            + "\"><v>" + QByteArray::number(numbers.at(column)) + "</v></c>";
    }
    return text + "</row>\n";
}

// The empty workbook's sheet with these data rows after its header row.
QByteArray expectedSheet(const QList<QList<int>> &dataRows)
{
    QByteArray sheet = emptyWorkbookPart("xl/worksheets/sheet1.xml");
    QByteArray rows;
    for (int k = 0; k < dataRows.size(); ++k)
        rows += expectedRow(k + 2, dataRows.at(k));
    return sheet.insert(sheet.indexOf("  </sheetData>"), rows);
}

QByteArray expectedSharedStrings(int count, const QStringList &strings)
{
    QByteArray text = emptyWorkbookPart("xl/sharedStrings.xml");
    text.truncate(text.indexOf(" count="));
    text += " count=\"" + QByteArray::number(count) + "\" uniqueCount=\"" + QByteArray::number(strings.size())
        + "\">";
    for (const QString &s : strings)
        text += "<si><t>" + s.toUtf8() + "</t></si>";
    return text + "</sst>";
}

QString wellFormednessError(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        reader.readNext();
    return reader.hasError() ? reader.errorString() : QString();
}

// The workbook as openpyxl and python's zipfile see it.
QJsonObject readWithOpenpyxl(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral(VELMORIA_TEST_PYTHON), { QStringLiteral(VELMORIA_DUMP_SCRIPT), path });
    if (!python.waitForFinished(120000) || python.exitStatus() != QProcess::NormalExit
        || python.exitCode() != 0) {
        qWarning().noquote() << "reader failed:" << python.errorString() << python.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

enum Obstacle { noObstacle, missingFolder, diskFullMidway, readOnlyFolder };

/**
 * Writes @p cases to @p path in a child process that first meets @p obstacle; returns the child's exit code:
 * 0 written, 1 ExcelError, 2 another exception, 3 the obstacle could not be set up. A read-only folder
 * does not stop root, so as root the child drops to nobody first.
 */
int writeInChild(const QList<CourtCase> &cases, const QString &path, Obstacle obstacle)
{
    const pid_t child = fork();
    if (child == 0) {
        alarm(60); // a child stuck on a lock copied from another thread dies instead of hanging the test
        if (obstacle == diskFullMidway) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit small { 8192, 8192 };
            if (setrlimit(RLIMIT_FSIZE, &small) != 0)
                _exit(3);
        }
        if (obstacle == readOnlyFolder && geteuid() == 0
            && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        // The earlier file stays writable: only the folder may stop the write.
        if (obstacle == readOnlyFolder && access(QFile::encodeName(path).constData(), W_OK) != 0)
            _exit(3);
        try {
            writeXLSX(cases, QUrl::fromLocalFile(path));
            _exit(0);
        } catch (const ExcelError &) {
            _exit(1);
        } catch (...) {
            _exit(2);
        }
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

class XlsxWriterTest : public QObject
{
    Q_OBJECT

private:
    QString write(const QList<CourtCase> &cases)
    {
        const QString path = m_dir->filePath(u"out.xlsx"_s);
        writeXLSX(cases, QUrl::fromLocalFile(path));
        return path;
    }

    std::unique_ptr<QTemporaryDir> m_dir;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void emptyCaseList_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("length");
        for (const QByteArray &name : partNames)
            QTest::newRow(name.constData()) << name << emptyWorkbookPart(name).size();
    }

    // An empty list gives the fixed parts byte for byte, the 322-byte sheet prefix with the column widths
    // and the frozen row, and the header row as the only row, its nine titles the only strings.
    void emptyCaseList()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, length);
        const QMap<QByteArray, int> templateLengths { { "[Content_Types].xml", 835 }, { "_rels/.rels", 300 },
            { "xl/_rels/workbook.xml.rels", 575 }, { "xl/workbook.xml", 296 }, { "xl/styles.xml", 1422 } };
        QCOMPARE(length, templateLengths.value(name, length)); // the expected files hold the right lengths
        const QByteArray data = entryData(write({}), name.constData());
        QCOMPARE(data, emptyWorkbookPart(name));
        if (name.endsWith("sheet1.xml"))
            QCOMPARE(data.indexOf("  <cols>") + 8, 322);
    }

    void sheetAndStrings_data()
    {
        QTest::addColumn<QList<QStringList>>("cases");
        QTest::addColumn<QList<QList<int>>>("rows");
        QTest::addColumn<QStringList>("newStrings");

        const QStringList a { u"I C 1/24"_s, u"Sąd Rejonowy w Łodzi"_s, u"I Wydział Cywilny"_s,
            u"o zapłatę"_s, u"Jan Kowalski"_s, u"SSR Anna Nowak"_s, u"2024-01-02"_s, u""_s, u"W toku"_s };
        const QStringList b { u"II K 5/23"_s, u"Sąd Rejonowy w Łodzi"_s, u"II Wydział Karny"_s,
            u"o zapłatę"_s, u""_s, u"SSR Anna Nowak"_s, u"2024-01-02"_s, u""_s, u"Status"_s };
        QTest::newRow("one case of title texts") << QList<QStringList> { QStringList(9, u"Status"_s) }
                                                 << QList<QList<int>> { QList<int>(9, 8) } << QStringList();
        // First-seen numbering; a title and the empty text reused; an all-empty case; a duplicate case.
        QTest::newRow("several cases") << QList<QStringList> { a, b, {}, a }
                                       << QList<QList<int>> { { 9, 10, 11, 12, 13, 14, 15, 16, 17 },
                                              { 18, 10, 19, 12, 16, 14, 15, 16, 8 }, QList<int>(9, 16),
                                              { 9, 10, 11, 12, 13, 14, 15, 16, 17 } }
                                       << a.first(8) + QStringList { a.at(8), b.at(0), b.at(2) };
        // Composed and decomposed forms are one string, written as first met; "Sąd" decomposed is the
        // title's.
        const QString decomposed = u"Zo\u0301\u0142w"_s;
        QTest::newRow("canonical equivalence")
            << QList<QStringList> { { decomposed, u"Z\u00F3\u0142w"_s, u"Sa\u0328d"_s } }
            << QList<QList<int>> { { 9, 9, 1, 10, 10, 10, 10, 10, 10 } }
            << QStringList { decomposed, QString() };
    }

    void sheetAndStrings()
    {
        QFETCH(QList<QStringList>, cases);
        QFETCH(QList<QList<int>>, rows);
        QFETCH(QStringList, newStrings);
        QList<CourtCase> records;
        for (const QStringList &cells : cases)
            records.append(CourtCase(cells));
        const QString path = write(records);
        QCOMPARE(entryData(path, "xl/worksheets/sheet1.xml"), expectedSheet(rows));
        QCOMPARE(entryData(path, "xl/sharedStrings.xml"),
            expectedSharedStrings(9 * (int(cases.size()) + 1), tableColumns + newStrings));
    }

    // Far more distinct texts than the table first expects: each gets the next number, texts met again
    // after the table has grown keep theirs, and the last of the N + 1 rows is numbered N + 1.
    void manyCases()
    {
        QList<CourtCase> cases;
        QStringList strings = tableColumns;
        QList<QList<int>> rows;
        for (int i = 0; i < 1000; ++i) {
            QStringList fields;
            QList<int> numbers;
            for (int k = 0; k < 9; ++k) {
                fields.append(u"tekst %1 kolumna %2 ąę"_s.arg(i).arg(k));
                numbers.append(int(strings.size()) + k);
            }
            strings += fields;
            rows.append(numbers);
            cases.append(CourtCase(fields));
        }
        cases += cases.first(100);
        rows += rows.first(100);
        const QString path = write(cases);
        QCOMPARE(entryData(path, "xl/sharedStrings.xml"), expectedSharedStrings(9 * 1101, strings));
        QCOMPARE(entryData(path, "xl/worksheets/sheet1.xml"), expectedSheet(rows));
    }

    void escaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("five entities") << u"a&b<c>d\"e'f"_s << "a&amp;b&lt;c&gt;d&quot;e&apos;f"_ba;
        QTest::newRow("entity in data") << u"&amp; &lt;"_s << "&amp;amp; &amp;lt;"_ba;
        QTest::newRow("allowed controls, spaces") << u" a\tb\nc\r\n "_s << " a\tb\nc\r\n "_ba;
        QTest::newRow("forbidden in XML")
            << QString(QChar(0)) + u"\u0001x\u0008\u000B\u000C\u000E\u001F\uFFFE\uFFFF"_s
            << "_x0000__x0001_x_x0008__x000B__x000C__x000E__x001F__xFFFE__xFFFF_"_ba;
        QTest::newRow("look-alike, lower-case hex") << u"a_x00e9_b"_s << "a_x005F_x00e9_b"_ba;
        QTest::newRow("two look-alikes") << u"_x0041_x0042_"_s << "_x005F_x0041_x005F_x0042_"_ba;
        QTest::newRow("not a look-alike")
            << u"_x004_ _X0041_ _x00G1_ snake_case_"_s << "_x004_ _X0041_ _x00G1_ snake_case_"_ba;
        QTest::newRow("lone surrogates") << u"a"_s + QChar(0xD83D) + u"b"_s + QChar(0xDE00)
                                         << "a\xEF\xBF\xBD"
                                            "b\xEF\xBF\xBD"_ba;
        QTest::newRow("surrogate pair, Polish")
            << u"\U0001F600 Łódź"_s << "\xF0\x9F\x98\x80 \xC5\x81\xC3\xB3\x64\xC5\xBA"_ba;
    }

    // Each distinct text is escaped once when written; the strings stay well-formed XML.
    void escaping()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, written);
        const QByteArray strings = entryData(write({ CourtCase({ text }) }), "xl/sharedStrings.xml");
        QVERIFY2(strings.contains("<si><t>" + written + "</t></si>"), strings.constData());
        QCOMPARE(wellFormednessError(strings), QString());
    }

    // The container as python's zipfile reads it, and the workbook as openpyxl reads it:
    // seven stored entries in order with valid CRCs and time stamps of the moment, no directories,
    // one sheet "Sprawy" with the titles, every text as written, the frozen row, widths and formats.
    void packageAndIndependentReader()
    {
        QRandomGenerator random(20240607);
        const QStringList pool { u"Sąd Okręgowy w Łodzi"_s, u"ŻÓŁTA GĘŚ"_s, u"a&b"_s, u"&amp;"_s, u"<b>"_s,
            u"\"'"_s, u"\u0001"_s, u"\u001F"_s, u"\u000B"_s, u"\uFFFF"_s, u"_x0041_"_s, u"_x005F_"_s, u"\t"_s,
            u"\n"_s, u"  "_s, u"x"_s, u"2024-01-02"_s, u"\U0001F600"_s, u"_"_s };
        QList<CourtCase> cases;
        for (int i = 0; i < 150; ++i) {
            QStringList fields;
            for (int k = 0; k < 9; ++k) {
                QString text;
                for (int p = int(random.bounded(4)); p > 0; --p)
                    text += pool.at(int(random.bounded(qsizetype(pool.size()))));
                fields.append(text);
            }
            cases.append(CourtCase(fields));
        }
        cases.append(CourtCase({ u"lone "_s + QChar(0xD800), u"x"_s + QChar(0xDC00) + u"y"_s }));
        const QDateTime before = QDateTime::currentDateTime();
        const QString path = write(cases);
        const QDateTime after = QDateTime::currentDateTime();

        const QJsonObject dump = readWithOpenpyxl(path);
        QVERIFY(!dump.isEmpty());
        QVERIFY2(dump.value(u"badCrc"_s).isNull(), qPrintable(dump.value(u"badCrc"_s).toString()));
        QList<QByteArray> names;
        for (const QJsonValue &value : dump.value(u"entries"_s).toArray()) {
            const QJsonObject entry = value.toObject();
            names.append(entry.value(u"name"_s).toString().toUtf8());
            QCOMPARE(entry.value(u"compression"_s).toInt(), 0);
            QCOMPARE(entry.value(u"compressedSize"_s).toInt(), entry.value(u"size"_s).toInt());
            QCOMPARE(entry.value(u"isDir"_s).toBool(), false);
            const QJsonArray t = entry.value(u"time"_s).toArray();
            const QDateTime stamp(QDate(t.at(0).toInt(), t.at(1).toInt(), t.at(2).toInt()),
                QTime(t.at(3).toInt(), t.at(4).toInt(), t.at(5).toInt()));
            // ZIP time stamps have a resolution of two seconds.
            QVERIFY2(stamp >= before.addSecs(-2) && stamp <= after.addSecs(2), qPrintable(stamp.toString()));
        }
        QCOMPARE(names, partNames);

        const QJsonObject expected = QJsonDocument::fromJson(R"({
            "sheets": ["Sprawy"], "freeze": "A2",
            "widths": {"A": [16, true], "B": [22, true], "C": [22, true], "D": [28, true], "E": [28, true],
                       "F": [18, true], "G": [14, true], "H": [14, true], "I": [14, true]},
            "looks": {
                "A1": {"bold": true, "fontColor": "FFFFFFFF", "fill": "solid", "fillColor": "FF1F4E79",
                       "borders": ["thin", "thin", "thin", "thin"], "horizontal": "center", "vertical": "center",
                       "wrap": true},
                "A2": {"bold": false, "fontColor": null, "fill": null, "fillColor": null,
                       "borders": ["thin", "thin", "thin", "thin"], "horizontal": null, "vertical": "top",
                       "wrap": true}}})")
                                         .object();
        QVERIFY(!expected.isEmpty());
        for (const QString &key : expected.keys()) {
            const auto json = [&](const QJsonObject &from) {
                return QJsonDocument(QJsonObject { { key, from.value(key) } }).toJson(QJsonDocument::Compact);
            };
            QCOMPARE(json(dump), json(expected));
        }

        const QStringList titles { u"Sygnatura"_s, u"Sąd"_s, u"Wydział"_s, u"Przedmiot sprawy"_s,
            u"Główne podmioty sprawy"_s, u"Referent"_s, u"Data wpływu"_s, u"Data zakończenia"_s,
            u"Status"_s };
        QCOMPARE(tableColumns, titles); // the results table shows the same titles
        const QJsonArray rows = dump.value(u"rows"_s).toArray();
        QCOMPARE(rows.size(), cases.size() + 1);
        for (int k = 0; k < rows.size(); ++k) {
            QStringList expected = k == 0 ? titles : cases.at(k - 1).columnValues();
            for (QString &text : expected)
                text = UnicodeText::replacingLoneSurrogates(text);
            QStringList read;
            for (const QJsonValue &cell : rows.at(k).toArray()) {
                QCOMPARE(cell.toArray().at(0).toString(), u"s"_s); // a shared-string cell
                read.append(cell.toArray().at(1).toString());
            }
            QCOMPARE(read, expected);
        }
    }

    void replaceOrKeep_data()
    {
        QTest::addColumn<int>("obstacle");
        QTest::newRow("replaces a workbook of the same name") << int(noObstacle);
        QTest::newRow("missing folder") << int(missingFolder);
        QTest::newRow("disk full midway") << int(diskFullMidway);
        QTest::newRow("read-only folder") << int(readOnlyFolder);
    }

    // A workbook of the same name is replaced; a failed write leaves it as it was, with no leftovers.
    void replaceOrKeep()
    {
        QFETCH(int, obstacle);
        const QString folder = m_dir->filePath(u"out"_s);
        const QString path = folder + u"/wrocławska_sprawy_20250305_1407.xlsx"_s;
        const QByteArray earlier = "earlier workbook";
        if (obstacle != missingFolder) {
            QVERIFY(QDir().mkpath(folder));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
            file.close();
            QCOMPARE(chmod(QFile::encodeName(path).constData(), 0666), 0);
        }
        if (obstacle == readOnlyFolder) {
            // Others may reach the folder but not write in it.
            QCOMPARE(chmod(QFile::encodeName(m_dir->path()).constData(), 0755), 0);
            QCOMPARE(chmod(QFile::encodeName(folder).constData(), 0555), 0);
        }
        QList<CourtCase> cases;
        for (int i = 0; i < 2000; ++i) // larger than the disk-full limit
            cases.append(CourtCase({ u"I C %1/24"_s.arg(i), u"nowy"_s }));

        const int exitCode = writeInChild(cases, path, Obstacle(obstacle));
        chmod(QFile::encodeName(folder).constData(), 0700);
        QCOMPARE(exitCode, obstacle == noObstacle ? 0 : 1);
        QFile file(path);
        if (obstacle == noObstacle)
            QVERIFY(entryData(path, "xl/sharedStrings.xml").contains("<si><t>nowy</t></si>"));
        else if (obstacle != missingFolder)
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == earlier);
        // Nothing else is left behind, nor is a missing folder created.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
            obstacle == missingFolder ? QStringList() : QStringList { QFileInfo(path).fileName() });
        QCOMPARE(QFileInfo::exists(folder), obstacle != missingFolder);
    }

    void errorMessage()
    {
        const ExcelError error = ExcelError::writeFailed(u"disk full"_s);
        QCOMPARE(static_cast<const LocalizedError &>(error).errorDescription(),
            u"Nie udało się zapisać pliku XLSX."_s);
        QCOMPARE(QString::fromUtf8(error.what()), error.errorDescription());
        QVERIFY(error == ExcelError::writeFailed());
    }
};

QTEST_GUILESS_MAIN(XlsxWriterTest)
#include "tst_xlsxwriter.moc"
