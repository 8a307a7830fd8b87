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
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <zip.h>

#include <cerrno>
#include <csignal>
#include <numeric>
#include <sys/resource.h>
#include <sys/stat.h>
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

// The empty workbook's sheet with these data rows, given by their cells' string numbers, after its header.
QByteArray expectedSheet(const QList<QList<int>> &dataRows)
{
    QByteArray rows;
    for (int k = 0; k < dataRows.size(); ++k) {
        const QByteArray r = QByteArray::number(k + 2);
        rows += "    <row r=\"" + r + "\">";
        for (int column = 0; column < 9; ++column)
            rows += "<c r=\"" + QByteArray(1, char('A' + column)) + r + "\" t=\"s\" s=\"2\"><v>"
                + QByteArray::number(dataRows.at(k).at(column)) + "</v></c>";
        rows += "</row>\n";
    }
    QByteArray sheet = emptyWorkbookPart("xl/worksheets/sheet1.xml");
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

// The workbook as openpyxl and python's zipfile see it.
QJsonObject readIndependently(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral(VELMORIA_PYTHON3), { QStringLiteral(VELMORIA_WORKBOOK_READER), path });
    if (!python.waitForFinished(120000) || python.exitStatus() != QProcess::NormalExit
        || python.exitCode() != 0) {
        qWarning().noquote() << "reader failed:" << python.errorString() << python.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

// Compact JSON text, so that a failed comparison shows both values.
QByteArray json(const QJsonValue &value)
{
    return QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
}

enum Obstacle { noObstacle, diskFull, readOnlyFolder };

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
        for (const QByteArray &name : partNames)
            QTest::newRow(name.constData()) << name;
    }

    // An empty list gives the fixed parts byte for byte, the 322-byte sheet prefix with the column widths
    // and the frozen row, and the header row as the only row, its nine titles the only strings.
    void emptyCaseList()
    {
        QFETCH(QByteArray, name);
        const QMap<QByteArray, qsizetype> templateLengths { { "[Content_Types].xml", 835 },
            { "_rels/.rels", 300 }, { "xl/_rels/workbook.xml.rels", 575 }, { "xl/workbook.xml", 296 },
            { "xl/styles.xml", 1422 } };
        const QByteArray expected = emptyWorkbookPart(name);
        QCOMPARE(expected.size(), templateLengths.value(name, expected.size()));
        QCOMPARE(entryData(write({}), name.constData()), expected);
        if (name.endsWith("sheet1.xml"))
            QCOMPARE(expected.indexOf("  <cols>") + 8, 322);
    }

    void sheetAndStrings_data()
    {
        QTest::addColumn<QList<CourtCase>>("cases");
        QTest::addColumn<QList<QList<int>>>("rows");
        QTest::addColumn<QStringList>("newStrings");

        const QStringList a { u"I C 1/24"_s, u"Sąd Rejonowy w Łodzi"_s, u"I Wydział Cywilny"_s,
            u"o zapłatę"_s, u"Jan Kowalski"_s, u"SSR Anna Nowak"_s, u"2024-01-02"_s, u""_s, u"W toku"_s };
        const QStringList b { u"II K 5/23"_s, u"Sąd Rejonowy w Łodzi"_s, u"II Wydział Karny"_s,
            u"o zapłatę"_s, u""_s, u"SSR Anna Nowak"_s, u"2024-01-02"_s, u""_s, u"Status"_s };
        // First-seen numbering; a title and the empty text reused; an all-empty case; a duplicate case.
        QTest::newRow("several cases")
            << QList<CourtCase> { CourtCase(a), CourtCase(b), CourtCase(), CourtCase(a) }
            << QList<QList<int>> { { 9, 10, 11, 12, 13, 14, 15, 16, 17 },
                   { 18, 10, 19, 12, 16, 14, 15, 16, 8 }, QList<int>(9, 16),
                   { 9, 10, 11, 12, 13, 14, 15, 16, 17 } }
            << a.first(8) + QStringList { a.at(8), b.at(0), b.at(2) };
        // One string, written as first met; "Sąd" decomposed is the title's.
        const QString decomposed = u"Zo\u0301\u0142w"_s;
        QTest::newRow("composed and decomposed")
            << QList<CourtCase> { CourtCase({ decomposed, u"Z\u00F3\u0142w"_s, u"Sa\u0328d"_s }) }
            << QList<QList<int>> { { 9, 9, 1, 10, 10, 10, 10, 10, 10 } }
            << QStringList { decomposed, QString() };
        // Lone surrogates are all written as U+FFFD, so they are that one string.
        QTest::newRow("lone surrogates and U+FFFD")
            << QList<CourtCase> { CourtCase({ QString(QChar(0xDC00)), QString(QChar(0xD800)), u"\uFFFD"_s }) }
            << QList<QList<int>> { { 9, 9, 9, 10, 10, 10, 10, 10, 10 } }
            << QStringList { u"\uFFFD"_s, QString() };
        // Far more texts than the table first expects: texts met again after it has grown keep their numbers.
        QList<CourtCase> many;
        QList<QList<int>> manyRows;
        QStringList manyStrings;
        for (int i = 0; i < 1000; ++i) {
            QStringList fields;
            for (int k = 0; k < 9; ++k)
                fields.append(u"tekst %1 ąę"_s.arg(i * 9 + k));
            manyStrings += fields;
            manyRows.append(QList<int>(9));
            std::iota(manyRows.last().begin(), manyRows.last().end(), 9 + i * 9);
            many.append(CourtCase(fields));
        }
        QTest::newRow("a thousand cases, a hundred again")
            << many + many.first(100) << manyRows + manyRows.first(100) << manyStrings;
    }

    // The whole sheet and string table: row numbers, string numbers, count = 9 × (N + 1), uniqueCount.
    void sheetAndStrings()
    {
        QFETCH(QList<CourtCase>, cases);
        QFETCH(QList<QList<int>>, rows);
        QFETCH(QStringList, newStrings);
        const QString path = write(cases);
        QCOMPARE(entryData(path, "xl/worksheets/sheet1.xml"), expectedSheet(rows));
        QCOMPARE(entryData(path, "xl/sharedStrings.xml"),
            expectedSharedStrings(9 * (int(cases.size()) + 1), tableColumns + newStrings));
    }

    void escaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written");
        QTest::newRow("entities, one already in the data")
            << u"a&b<c>d\"e'f &amp;"_s << u"a&amp;b&lt;c&gt;d&quot;e&apos;f &amp;amp;"_s;
        // Readers turn CR and CRLF into LF; escaped, CR survives.
        QTest::newRow("allowed controls, spaces, CR") << u" a\tb\nc\r\n "_s << u" a\tb\nc_x000D_\n "_s;
        QTest::newRow("forbidden in XML")
            << QString(QChar(0)) + u"\u0001x\u0008\u000B\u000C\u000E\u001F\uFFFE\uFFFF"_s
            << u"_x0000__x0001_x_x0008__x000B__x000C__x000E__x001F__xFFFE__xFFFF_"_s;
        QTest::newRow("look-alikes, lower-case and chained")
            << u"a_x00e9_b _x0041_x0042_"_s << u"a_x005F_x00e9_b _x005F_x0041_x005F_x0042_"_s;
        QTest::newRow("look-alikes made by the escape that follows")
            << u"_x0041\u0001 _x005F"_s + QChar(0) + u" _x0041\uFFFF _x0041\r"_s
            << u"_x005F_x0041_x0001_ _x005F_x005F_x0000_ _x005F_x0041_xFFFF_ _x005F_x0041_x000D_"_s;
        QTest::newRow("not look-alikes") << u"_x004_ _X0041_ _x00G1_ snake_case_ _x0041\t _x0041\u00E9"_s
                                         << u"_x004_ _X0041_ _x00G1_ snake_case_ _x0041\t _x0041\u00E9"_s;
        QTest::newRow("lone surrogates")
            << u"a"_s + QChar(0xD83D) + u"b"_s + QChar(0xDE00) << u"a\uFFFDb\uFFFD"_s;
    }

    // Entities, spreadsheet escapes for what XML forbids or alters (CR) and for their look-alikes,
    // U+FFFD for lone halves.
    void escaping()
    {
        QFETCH(QString, text);
        QFETCH(QString, written);
        QCOMPARE(entryData(write({ CourtCase({ text }) }), "xl/sharedStrings.xml"),
            expectedSharedStrings(18, tableColumns + QStringList { written, QString() }));
    }

    // The container as python's zipfile reads it, and the workbook as openpyxl reads it:
    // seven stored entries in order with valid CRCs and time stamps of the moment, no directories,
    // one sheet "Sprawy" with the titles, every text as written, the frozen row and the widths.
    void packageAndIndependentReader()
    {
        const QStringList pool { u"Sąd Okręgowy w Łodzi"_s, u"ŻÓŁTA GĘŚ"_s, u"a&b"_s, u"&amp;"_s, u"<b>"_s,
            u"\"'"_s, u"\u0001"_s, u"\u001F"_s, u"\u000B"_s, u"\uFFFF"_s, u"_x0041_"_s, u"_x005F_"_s, u"\t"_s,
            u"\n"_s, u"\r"_s, u"_x0041"_s, u"  "_s, u"x"_s, u"2024-01-02"_s, u"\U0001F600"_s, u"_"_s, u""_s };
        QList<CourtCase> cases;
        for (int i = 0; i < 150; ++i) { // each pair of pool texts, in both orders
            QStringList fields;
            for (int k = 0; k < 9; ++k)
                fields.append(
                    pool.at((i * 9 + k) % pool.size()) + pool.at((i * 9 + k) / pool.size() % pool.size()));
            cases.append(CourtCase(fields));
        }
        cases.append(CourtCase({ u"lone "_s + QChar(0xD800), u"x"_s + QChar(0xDC00) + u"y"_s }));
        const QDateTime before = QDateTime::currentDateTime().addSecs(-2); // ZIP times are in 2-second steps
        const QString path = write(cases);
        const QDateTime after = QDateTime::currentDateTime().addSecs(2);

        const QJsonObject book = readIndependently(path);
        QVERIFY(!book.isEmpty());
        QVERIFY2(book.value(u"badCrc"_s).isNull(), qPrintable(book.value(u"badCrc"_s).toString()));
        QJsonArray entries;
        for (const QByteArray &name : partNames)
            entries.append(QJsonArray { QString::fromUtf8(name), 0, false }); // stored, a file
        QCOMPARE(json(book.value(u"entries"_s)), json(entries));
        for (const QJsonValue &time : book.value(u"times"_s).toArray()) {
            const QDateTime stamp = QDateTime::fromString(time.toString(), Qt::ISODate);
            QVERIFY2(stamp >= before && stamp <= after, qPrintable(time.toString()));
        }
        QCOMPARE(json(book.value(u"sheets"_s)), json(QJsonArray { u"Sprawy"_s }));
        QCOMPARE(book.value(u"freeze"_s).toString(), u"A2"_s);
        const QJsonObject widths { { u"A"_s, 16 }, { u"B"_s, 22 }, { u"C"_s, 22 }, { u"D"_s, 28 },
            { u"E"_s, 28 }, { u"F"_s, 18 }, { u"G"_s, 14 }, { u"H"_s, 14 }, { u"I"_s, 14 } };
        QCOMPARE(json(book.value(u"widths"_s)), json(widths));

        // The titles' own texts are pinned by the empty workbook's strings.
        QList<QStringList> expected { tableColumns };
        for (const CourtCase &record : cases) {
            QStringList texts = record.columnValues();
            for (QString &text : texts)
                text = UnicodeText::replacingLoneSurrogates(text);
            expected.append(texts);
        }
        QList<QStringList> rows;
        for (const QJsonValue &row : book.value(u"rows"_s).toArray())
            rows.append(row.toVariant().toStringList());
        QCOMPARE(rows, expected);
    }

    void replaceOrKeep_data()
    {
        QTest::addColumn<int>("obstacle");
        QTest::addColumn<int>("caseCount");
        QTest::addColumn<int>("cause");
        QTest::newRow("replaces a workbook of the same name") << int(noObstacle) << 2000 << 0;
        // A small workbook sits in a write buffer until the end: that late failure counts too.
        QTest::newRow("disk full, small workbook") << int(diskFull) << 0 << EFBIG;
        QTest::newRow("disk full midway") << int(diskFull) << 2000 << EFBIG;
        QTest::newRow("read-only folder") << int(readOnlyFolder) << 2000 << EACCES;
    }

    // A workbook of the same name is replaced; a failed write leaves it as it was, with no leftovers,
    // and names the system's cause.
    void replaceOrKeep()
    {
        QFETCH(int, obstacle);
        QFETCH(int, caseCount);
        QFETCH(int, cause);
        const QString folder = m_dir->filePath(u"out"_s);
        const QString path = folder + u"/wrocławska_sprawy_20250305_1407.xlsx"_s;
        const QByteArray earlier = "earlier workbook";
        QVERIFY(QDir().mkpath(folder));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
        file.close();
        QCOMPARE(chmod(QFile::encodeName(path).constData(), 0666), 0); // only the folder may stop the write
        QList<CourtCase> cases;
        for (int i = 0; i < caseCount; ++i)
            cases.append(CourtCase({ u"I C %1/24"_s.arg(i), u"nowy"_s }));

        QString message;
        QString detail;
        {
            rlimit fileSize {};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &fileSize), 0);
            const bool asRoot = geteuid() == 0;
            const auto lift = qScopeGuard([&] {
                QVERIFY(!asRoot || seteuid(0) == 0);
                setrlimit(RLIMIT_FSIZE, &fileSize);
                chmod(QFile::encodeName(folder).constData(), 0700);
            });
            if (obstacle == diskFull) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit small { 4096, fileSize.rlim_max }; // below even an empty workbook
                QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            }
            if (obstacle == readOnlyFolder) {
                // Root writes anywhere, so nobody writes: able to reach the folder, not to write in it.
                QCOMPARE(chmod(QFile::encodeName(m_dir->path()).constData(), 0755), 0);
                QCOMPARE(chmod(QFile::encodeName(folder).constData(), 0555), 0);
                QVERIFY(!asRoot || seteuid(65534) == 0);
            }
            try {
                writeXLSX(cases, QUrl::fromLocalFile(path));
            } catch (const ExcelError &error) {
                message = error.errorDescription();
                detail = error.detail();
            }
        }
        QCOMPARE(message, obstacle == noObstacle ? QString() : u"Nie udało się zapisać pliku XLSX."_s);
        QCOMPARE(detail, cause ? qt_error_string(cause) : QString());
        if (obstacle == noObstacle)
            QVERIFY(entryData(path, "xl/sharedStrings.xml").contains("<si><t>nowy</t></si>"));
        else
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == earlier);
        QCOMPARE(
            QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList { QFileInfo(path).fileName() });
    }
};

QTEST_GUILESS_MAIN(XlsxWriterTest)
#include "tst_xlsxwriter.moc"
