#include "export/excelerror.h"
#include "export/xlsxwriter.h"
#include "portal/courtcase.h"
#include "portal/unicodetext.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <zip.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Entry
{
    QByteArray name;
    int method = -1;
    QByteArray data;
};

// Reads the package back with libzip, independently of how it was written.
QList<Entry> readEntries(const QString &path)
{
    QList<Entry> entries;
    int errorCode = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &errorCode);
    if (!archive)
        return entries;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, zip_uint64_t(i), 0, &stat);
        Entry entry{QByteArray(stat.name), stat.comp_method, QByteArray(qsizetype(stat.size), Qt::Uninitialized)};
        zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        if (file) {
            const zip_int64_t read = zip_fread(file, entry.data.data(), stat.size);
            entry.data.truncate(qsizetype(std::max<zip_int64_t>(read, 0)));
            zip_fclose(file);
        }
        entries.append(entry);
    }
    zip_close(archive);
    return entries;
}

QByteArray entryData(const QString &path, const QByteArray &name)
{
    for (const Entry &entry : readEntries(path)) {
        if (entry.name == name)
            return entry.data;
    }
    return {};
}

QByteArray joinLines(std::initializer_list<const char *> lines)
{
    QByteArray text;
    for (const char *line : lines) {
        if (!text.isEmpty())
            text.append('\n');
        text.append(line);
    }
    return text;
}

const QByteArray declaration = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"_ba;
const QByteArray mainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"_ba;

QByteArray expectedSheetHead()
{
    return joinLines({
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)",
        R"(  <sheetViews>)",
        R"(    <sheetView tabSelected="1" workbookViewId="0">)",
        R"(      <pane ySplit="1" topLeftCell="A2" activePane="bottomLeft" state="frozen"/>)",
        R"(    </sheetView>)",
        R"(  </sheetViews>)",
        R"(  <cols>    <col min="1" max="1" width="16" customWidth="1"/>)",
        R"(    <col min="2" max="2" width="22" customWidth="1"/>)",
        R"(    <col min="3" max="3" width="22" customWidth="1"/>)",
        R"(    <col min="4" max="4" width="28" customWidth="1"/>)",
        R"(    <col min="5" max="5" width="28" customWidth="1"/>)",
        R"(    <col min="6" max="6" width="18" customWidth="1"/>)",
        R"(    <col min="7" max="7" width="14" customWidth="1"/>)",
        R"(    <col min="8" max="8" width="14" customWidth="1"/>)",
        R"(    <col min="9" max="9" width="14" customWidth="1"/>)",
        R"(  </cols>)",
        R"(  <sheetData>)",
        "",
    });
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

QByteArray expectedSheet(const QList<QList<int>> &dataRows)
{
    QByteArray text = expectedSheetHead() + expectedRow(1, {0, 1, 2, 3, 4, 5, 6, 7, 8});
    for (int k = 0; k < dataRows.size(); ++k)
        text += expectedRow(k + 2, dataRows.at(k));
    return text + "  </sheetData>\n</worksheet>";
}

QByteArray expectedSharedStrings(int count, const QStringList &strings)
{
    QByteArray text = declaration + "\n<sst xmlns=\"" + mainNamespace + "\" count=\"" + QByteArray::number(count)
        + "\" uniqueCount=\"" + QByteArray::number(strings.size()) + "\">";
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

QStringList nineOf(const QString &text)
{
    return QStringList(9, text);
}

} // namespace

class XlsxWriterTest : public QObject
{
    Q_OBJECT

private:
    QString pathFor(const QString &name) const { return m_dir->filePath(name); }

    QString write(const QList<CourtCase> &cases, const QString &name = u"out.xlsx"_s)
    {
        const QString path = pathFor(name);
        writeXLSX(cases, QUrl::fromLocalFile(path));
        return path;
    }

    // The workbook as openpyxl and python's zipfile see it.
    QJsonObject readWithOpenpyxl(const QString &path)
    {
        QProcess python;
        python.start(QStringLiteral(VELMORIA_TEST_PYTHON), {QStringLiteral(VELMORIA_DUMP_SCRIPT), path});
        if (!python.waitForFinished(120000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
            qWarning().noquote() << "reader failed:" << python.errorString() << python.readAllStandardError();
            return {};
        }
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(python.readAllStandardOutput(), &error);
        if (error.error != QJsonParseError::NoError)
            qWarning() << "reader output is not JSON:" << error.errorString();
        return document.object();
    }

    static QList<QStringList> readerCells(const QJsonObject &dump, bool *allShared)
    {
        QList<QStringList> rows;
        *allShared = true;
        for (const QJsonValue &row : dump.value(u"rows"_s).toArray()) {
            QStringList values;
            for (const QJsonValue &cell : row.toArray()) {
                const QJsonArray typeAndValue = cell.toArray();
                *allShared = *allShared && typeAndValue.at(0).toString() == u"s"_s;
                values.append(typeAndValue.at(1).toString());
            }
            rows.append(values);
        }
        return rows;
    }

    std::unique_ptr<QTemporaryDir> m_dir;

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void columnTitles()
    {
        QCOMPARE(tableColumns,
                 (QStringList{u"Sygnatura"_s, u"Sąd"_s, u"Wydział"_s, u"Przedmiot sprawy"_s, u"Główne podmioty sprawy"_s,
                              u"Referent"_s, u"Data wpływu"_s, u"Data zakończenia"_s, u"Status"_s}));
    }

    void fixedPartsAreByteExact_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("content types") << "[Content_Types].xml"_ba << 835 << joinLines({
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
            R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)",
            R"(  <Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)",
            R"(  <Default Extension="xml" ContentType="application/xml"/>)",
            R"(  <Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)",
            R"(  <Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)",
            R"(  <Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)",
            R"(  <Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>)",
            R"(</Types>)",
        });
        QTest::newRow("package relationships") << "_rels/.rels"_ba << 300 << joinLines({
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
            R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)",
            R"(  <Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)",
            R"(</Relationships>)",
        });
        QTest::newRow("workbook relationships") << "xl/_rels/workbook.xml.rels"_ba << 575 << joinLines({
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
            R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)",
            R"(  <Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)",
            R"(  <Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)",
            R"(  <Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)",
            R"(</Relationships>)",
        });
        QTest::newRow("workbook") << "xl/workbook.xml"_ba << 296 << joinLines({
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
            R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)",
            R"(  <sheets>)",
            R"(    <sheet name="Sprawy" sheetId="1" r:id="rId1"/>)",
            R"(  </sheets>)",
            R"(</workbook>)",
        });
        QTest::newRow("styles") << "xl/styles.xml"_ba << 1422 << joinLines({
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
            R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)",
            R"(  <fonts count="2">)",
            R"(    <font><sz val="11"/><name val="Calibri"/></font>)",
            R"(    <font><b/><sz val="11"/><color rgb="FFFFFFFF"/><name val="Calibri"/></font>)",
            R"(  </fonts>)",
            R"(  <fills count="3">)",
            R"(    <fill><patternFill patternType="none"/></fill>)",
            R"(    <fill><patternFill patternType="gray125"/></fill>)",
            R"(    <fill><patternFill patternType="solid"><fgColor rgb="FF1F4E79"/></patternFill></fill>)",
            R"(  </fills>)",
            R"(  <borders count="2">)",
            R"(    <border><left/><right/><top/><bottom/><diagonal/></border>)",
            R"(    <border>)",
            R"(      <left style="thin"><color auto="1"/></left>)",
            R"(      <right style="thin"><color auto="1"/></right>)",
            R"(      <top style="thin"><color auto="1"/></top>)",
            R"(      <bottom style="thin"><color auto="1"/></bottom>)",
            R"(      <diagonal/>)",
            R"(    </border>)",
            R"(  </borders>)",
            R"(  <cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)",
            R"(  <cellXfs count="3">)",
            R"(    <xf numFmtId="0" fontId="0" fillId="0" borderId="0"/>)",
            R"(    <xf numFmtId="0" fontId="1" fillId="2" borderId="1" applyFont="1" applyFill="1" applyBorder="1" applyAlignment="1">)",
            R"(      <alignment horizontal="center" vertical="center" wrapText="1"/>)",
            R"(    </xf>)",
            R"(    <xf numFmtId="0" fontId="0" fillId="0" borderId="1" applyBorder="1" applyAlignment="1">)",
            R"(      <alignment vertical="top" wrapText="1"/>)",
            R"(    </xf>)",
            R"(  </cellXfs>)",
            R"(</styleSheet>)",
        });
    }

    // The four fixed parts and the styles are written byte for byte, with no line feed at the end.
    void fixedPartsAreByteExact()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, length);
        QFETCH(QByteArray, expected);
        QCOMPARE(expected.size(), length); // the transcription above is itself checked against the lengths
        const QByteArray data = entryData(write({CourtCase({u"x"_s})}), name);
        QCOMPARE(data, expected);
        QCOMPARE(wellFormednessError(data), QString());
    }

    // Empty list: header row only, the nine titles as the only strings.
    void emptyListGivesHeaderOnly()
    {
        const QString path = write({});
        const QByteArray sheet = entryData(path, "xl/worksheets/sheet1.xml");
        QCOMPARE(sheet.left(322), expectedSheetHead().left(322));
        QVERIFY(sheet.left(322).endsWith("  <cols>"));
        QCOMPARE(sheet, expectedSheet({}));
        QVERIFY(sheet.contains(R"(<c r="I1" t="s" s="1"><v>8</v></c></row>)"));
        QCOMPARE(entryData(path, "xl/sharedStrings.xml"), expectedSharedStrings(9, tableColumns));
    }

    // Several cases: row numbers, first-seen numbering, reuse of titles and of empty texts, duplicates.
    void sheetAndStringsForSeveralCases()
    {
        const QStringList a{u"I C 1/24"_s, u"Sąd Rejonowy w Łodzi"_s, u"I Wydział Cywilny"_s, u"o zapłatę"_s,
                            u"Jan Kowalski"_s, u"SSR Anna Nowak"_s, u"2024-01-02"_s, u""_s, u"W toku"_s};
        const QStringList b{u"II K 5/23"_s, u"Sąd Rejonowy w Łodzi"_s, u"II Wydział Karny"_s, u"o zapłatę"_s,
                            u""_s, u"SSR Anna Nowak"_s, u"2024-01-02"_s, u""_s, u"Status"_s};
        const QList<CourtCase> cases{CourtCase(a), CourtCase(b), CourtCase(), CourtCase(a)};
        const QString path = write(cases);

        const QList<int> rowA{9, 10, 11, 12, 13, 14, 15, 16, 17};
        const QList<int> rowB{18, 10, 19, 12, 16, 14, 15, 16, 8};
        const QList<int> rowEmpty(9, 16);
        QCOMPARE(entryData(path, "xl/worksheets/sheet1.xml"), expectedSheet({rowA, rowB, rowEmpty, rowA}));

        QStringList strings = tableColumns;
        strings << a.first(8) << a.at(8) << u"II K 5/23"_s << u"II Wydział Karny"_s;
        QCOMPARE(strings.size(), 20);
        QCOMPARE(entryData(path, "xl/sharedStrings.xml"), expectedSharedStrings(45, strings));
    }

    void oneCaseSheet()
    {
        const QString path = write({CourtCase(nineOf(u"Status"_s))});
        QCOMPARE(entryData(path, "xl/worksheets/sheet1.xml"), expectedSheet({QList<int>(9, 8)}));
        QCOMPARE(entryData(path, "xl/sharedStrings.xml"), expectedSharedStrings(18, tableColumns));
    }

    void countsFollowCaseNumber_data()
    {
        QTest::addColumn<int>("caseCount");
        QTest::newRow("2") << 2;
        QTest::newRow("10") << 10;
        QTest::newRow("1234") << 1234;
    }

    // N cases: rows 1 to N + 1, count 9 × (N + 1), one string per distinct text.
    void countsFollowCaseNumber()
    {
        QFETCH(int, caseCount);
        QList<CourtCase> cases;
        for (int i = 0; i < caseCount; ++i)
            cases.append(CourtCase({u"S %1"_s.arg(i), u"Sąd"_s, u"W %1"_s.arg(i % 7)}));
        const QString path = write(cases);
        const QByteArray sheet = entryData(path, "xl/worksheets/sheet1.xml");
        const QByteArray lastRow = "    <row r=\"" + QByteArray::number(caseCount + 1) + "\">";
        QVERIFY(sheet.contains(lastRow));
        QVERIFY(!sheet.contains("<row r=\"" + QByteArray::number(caseCount + 2) + "\">"));
        QCOMPARE(sheet.count("<row "), caseCount + 1);
        QCOMPARE(sheet.count(" s=\"2\">"), 9 * caseCount);
        QCOMPARE(wellFormednessError(sheet), QString());

        const QByteArray strings = entryData(path, "xl/sharedStrings.xml");
        // titles + S i + W 0..6 (at most) + the empty text
        const int unique = 9 + caseCount + std::min(caseCount, 7) + 1;
        QVERIFY(strings.contains(" count=\"" + QByteArray::number(9 * (caseCount + 1)) + "\" uniqueCount=\""
                                 + QByteArray::number(unique) + "\">"));
        QCOMPARE(strings.count("<si>"), unique);
        QCOMPARE(strings.count('\n'), 1); // the declaration line, then everything else
        QVERIFY(!strings.endsWith('\n'));
    }

    // Far more distinct texts than the table first expects: each gets the next number, and texts
    // met again after the table has grown keep theirs.
    void manyDistinctTexts()
    {
        QList<CourtCase> cases;
        QStringList expectedStrings = tableColumns;
        for (int i = 0; i < 1000; ++i) {
            QStringList fields;
            for (int k = 0; k < 9; ++k)
                fields.append(u"tekst %1 kolumna %2 ąę"_s.arg(i).arg(k));
            expectedStrings += fields;
            cases.append(CourtCase(fields));
        }
        cases += cases.first(100);
        const QString path = write(cases);
        QCOMPARE(entryData(path, "xl/sharedStrings.xml"), expectedSharedStrings(9 * 1101, expectedStrings));
        const QByteArray sheet = entryData(path, "xl/worksheets/sheet1.xml");
        for (int i : {0, 99, 999}) {
            QList<int> numbers;
            for (int k = 0; k < 9; ++k)
                numbers.append(9 + 9 * i + k);
            QVERIFY(sheet.contains(expectedRow(i + 2, numbers)));
            if (i < 100)
                QVERIFY(sheet.contains(expectedRow(i + 1002, numbers)));
        }
    }

    // Composed and decomposed forms are one string, written as first met.
    void canonicallyEquivalentTextsShareOneString()
    {
        const QString decomposed = u"Z\u006F\u0301\u0142w"_s; // "Zółw" with a combining acute
        const QString composed = u"Z\u00F3\u0142w"_s;
        QVERIFY(decomposed != composed);
        const QString titleDecomposed = u"Sa\u0328d"_s; // the title "Sąd", decomposed
        const QString path = write({CourtCase({decomposed, composed, titleDecomposed})});
        const QByteArray sheet = entryData(path, "xl/worksheets/sheet1.xml");
        QVERIFY(sheet.contains(R"(<c r="A2" t="s" s="2"><v>9</v></c><c r="B2" t="s" s="2"><v>9</v></c>)"
                               R"(<c r="C2" t="s" s="2"><v>1</v></c><c r="D2" t="s" s="2"><v>10</v></c>)"));
        QStringList strings = tableColumns;
        strings << decomposed << QString();
        QCOMPARE(entryData(path, "xl/sharedStrings.xml"), expectedSharedStrings(18, strings));
    }

    void escaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("five entities") << u"a&b<c>d\"e'f"_s << "a&amp;b&lt;c&gt;d&quot;e&apos;f"_ba;
        QTest::newRow("entity in data") << u"&amp; &lt;"_s << "&amp;amp; &amp;lt;"_ba;
        QTest::newRow("tab, line feed, spaces") << u" a\tb\nc "_s << " a\tb\nc "_ba;
        QTest::newRow("carriage return") << u"a\r\nb"_s << "a\r\nb"_ba;
        QTest::newRow("control characters") << u"\u0001x\u0008\u000B\u000C\u000E\u001F"_s
                                            << "_x0001_x_x0008__x000B__x000C__x000E__x001F_"_ba;
        QTest::newRow("nul") << QString(QChar(0)) << "_x0000_"_ba;
        QTest::newRow("noncharacters") << u"\uFFFE\uFFFF"_s << "_xFFFE__xFFFF_"_ba;
        QTest::newRow("escape look-alike") << u"_x0041_"_s << "_x005F_x0041_"_ba;
        QTest::newRow("look-alike, lower-case hex") << u"a_x00e9_b"_s << "a_x005F_x00e9_b"_ba;
        QTest::newRow("two look-alikes") << u"_x0041_x0042_"_s << "_x005F_x0041_x005F_x0042_"_ba;
        QTest::newRow("not a look-alike") << u"_x004_ _X0041_ _x00G1_ snake_case_"_s
                                          << "_x004_ _X0041_ _x00G1_ snake_case_"_ba;
        QTest::newRow("lone high surrogate") << u"a"_s + QChar(0xD83D) + u"b"_s << "a\xEF\xBF\xBD" "b"_ba;
        QTest::newRow("lone low surrogate at end") << u"a"_s + QChar(0xDE00) << "a\xEF\xBF\xBD"_ba;
        QTest::newRow("surrogate pair") << u"\U0001F600"_s << "\xF0\x9F\x98\x80"_ba;
        QTest::newRow("polish") << u"Łódź ąęśćżźńó"_s << QString(u"Łódź ąęśćżźńó"_s).toUtf8();
    }

    // Each distinct text is escaped once when written; the sheet stays well-formed XML.
    void escaping()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, written);
        const QByteArray strings = entryData(write({CourtCase({text})}), "xl/sharedStrings.xml");
        QVERIFY2(strings.contains("<si><t>" + written + "</t></si>"), strings.constData());
        QCOMPARE(wellFormednessError(strings), QString());
    }

    // Seven stored entries in order, no directories, valid CRCs, time stamps of the moment.
    void zipContainer()
    {
        const QDateTime before = QDateTime::currentDateTime();
        const QString path = write({CourtCase({u"I C 1/24"_s, u"Sąd"_s})});
        const QDateTime after = QDateTime::currentDateTime();

        const QList<QByteArray> names{"[Content_Types].xml"_ba,  "_rels/.rels"_ba,    "xl/_rels/workbook.xml.rels"_ba,
                                      "xl/workbook.xml"_ba,      "xl/sharedStrings.xml"_ba, "xl/styles.xml"_ba,
                                      "xl/worksheets/sheet1.xml"_ba};
        const QList<Entry> entries = readEntries(path);
        QCOMPARE(entries.size(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(entries.at(i).name, names.at(i));
            QCOMPARE(entries.at(i).method, ZIP_CM_STORE);
            QVERIFY(!entries.at(i).data.endsWith('\n'));
            QVERIFY(!entries.at(i).data.contains('\r'));
            QCOMPARE(wellFormednessError(entries.at(i).data), QString());
        }

        const QJsonObject dump = readWithOpenpyxl(path);
        QVERIFY(!dump.isEmpty());
        QVERIFY2(dump.value(u"badCrc"_s).isNull(), qPrintable(dump.value(u"badCrc"_s).toString()));
        const QJsonArray zipEntries = dump.value(u"entries"_s).toArray();
        QCOMPARE(zipEntries.size(), 7);
        for (int i = 0; i < 7; ++i) {
            const QJsonObject entry = zipEntries.at(i).toObject();
            QCOMPARE(entry.value(u"name"_s).toString().toUtf8(), names.at(i));
            QCOMPARE(entry.value(u"compression"_s).toInt(), 0);
            QCOMPARE(entry.value(u"compressedSize"_s).toInt(), entry.value(u"size"_s).toInt());
            QCOMPARE(entry.value(u"isDir"_s).toBool(), false);
            const QJsonArray t = entry.value(u"time"_s).toArray();
            const QDateTime stamp(QDate(t.at(0).toInt(), t.at(1).toInt(), t.at(2).toInt()),
                                  QTime(t.at(3).toInt(), t.at(4).toInt(), t.at(5).toInt()));
            // DOS time stamps have a resolution of two seconds.
            QVERIFY2(stamp >= before.addSecs(-2) && stamp <= after.addSecs(2), qPrintable(stamp.toString()));
        }
    }

    // openpyxl sees the sheet, the titles, every text as written, the frozen row, widths and formats.
    void independentReaderAgrees()
    {
        QRandomGenerator random(20240607);
        const QStringList pool{u"Sąd Okręgowy w Łodzi"_s, u"ŻÓŁTA GĘŚ"_s, u"a&b"_s, u"&amp;"_s, u"<b>"_s, u"\"'"_s,
                               u"\u0001"_s, u"\u001F"_s, u"\u000B"_s, u"\uFFFF"_s, u"_x0041_"_s, u"_x005F_"_s,
                               u"\t"_s, u"\n"_s, u"  "_s, u"x"_s, u"2024-01-02"_s, u"\U0001F600"_s, u"_"_s};
        QList<CourtCase> cases;
        for (int i = 0; i < 150; ++i) {
            QStringList fields;
            for (int k = 0; k < 9; ++k) {
                QString text;
                const int parts = int(random.bounded(4));
                for (int p = 0; p < parts; ++p)
                    text += pool.at(int(random.bounded(qsizetype(pool.size()))));
                fields.append(text);
            }
            cases.append(CourtCase(fields));
        }
        cases.append(CourtCase({u"lone "_s + QChar(0xD800), u"x"_s + QChar(0xDC00) + u"y"_s}));
        const QString path = write(cases);

        const QJsonObject dump = readWithOpenpyxl(path);
        QVERIFY(!dump.isEmpty());
        QCOMPARE(dump.value(u"sheets"_s).toArray(), QJsonArray{u"Sprawy"_s});
        QCOMPARE(dump.value(u"freeze"_s).toString(), u"A2"_s);

        const QJsonObject widths = dump.value(u"widths"_s).toObject();
        const QList<int> expectedWidths{16, 22, 22, 28, 28, 18, 14, 14, 14};
        for (int column = 0; column < 9; ++column) {
            const QJsonArray width = widths.value(QString(QChar(u'A' + column))).toArray();
            QCOMPARE(width.at(0).toDouble(), double(expectedWidths.at(column)));
            QVERIFY(width.at(1).toBool());
        }

        bool allShared = false;
        const QList<QStringList> rows = readerCells(dump, &allShared);
        QVERIFY(allShared);
        QCOMPARE(rows.size(), cases.size() + 1);
        QCOMPARE(rows.first(), tableColumns);
        for (int k = 0; k < cases.size(); ++k) {
            QStringList expected = cases.at(k).columnValues();
            for (QString &text : expected)
                text = UnicodeText::replacingLoneSurrogates(text);
            QCOMPARE(rows.at(k + 1), expected);
        }
        QCOMPARE(rows.last().mid(0, 2), (QStringList{u"lone \uFFFD"_s, u"x\uFFFDy"_s}));

        const QJsonObject looks = dump.value(u"looks"_s).toObject();
        const QJsonObject header = looks.value(u"A1"_s).toObject();
        QVERIFY(header.value(u"bold"_s).toBool());
        QCOMPARE(header.value(u"fontColor"_s).toString(), u"FFFFFFFF"_s);
        QCOMPARE(header.value(u"fill"_s).toString(), u"solid"_s);
        QCOMPARE(header.value(u"fillColor"_s).toString(), u"FF1F4E79"_s);
        QCOMPARE(header.value(u"horizontal"_s).toString(), u"center"_s);
        QCOMPARE(header.value(u"vertical"_s).toString(), u"center"_s);
        QVERIFY(header.value(u"wrap"_s).toBool());
        const QJsonObject data = looks.value(u"A2"_s).toObject();
        QVERIFY(!data.value(u"bold"_s).toBool());
        QVERIFY(data.value(u"fill"_s).isNull());
        QCOMPARE(data.value(u"vertical"_s).toString(), u"top"_s);
        QVERIFY(data.value(u"wrap"_s).toBool());
        for (const QJsonObject &cell : {header, data})
            QCOMPARE(cell.value(u"borders"_s).toArray(), (QJsonArray{u"thin"_s, u"thin"_s, u"thin"_s, u"thin"_s}));
    }

    // A workbook of the same name is replaced.
    void replacesExistingFile()
    {
        const QString path = pathFor(u"same.xlsx"_s);
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'z'));
        old.close();
        write({CourtCase({u"nowy"_s})}, u"same.xlsx"_s);
        QVERIFY(entryData(path, "xl/sharedStrings.xml").contains("<si><t>nowy</t></si>"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"same.xlsx"_s});
    }

    void missingFolderFails()
    {
        const QUrl destination = QUrl::fromLocalFile(pathFor(u"gone/out.xlsx"_s));
        QVERIFY_THROWS_EXCEPTION(ExcelError, writeXLSX({CourtCase()}, destination));
        QVERIFY(!QFile::exists(destination.toLocalFile()));
    }

    // A write that breaks off midway (here: the file size limit, as on a full disk) leaves the earlier file.
    void failedWriteKeepsEarlierFile()
    {
        const QString path = pathFor(u"keep.xlsx"_s);
        const QByteArray earlier = "earlier workbook";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(earlier);
        file.close();

        QList<CourtCase> cases;
        for (int i = 0; i < 2000; ++i)
            cases.append(CourtCase({u"I C %1/24"_s.arg(i), u"Sąd Rejonowy"_s}));

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 8192;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        bool threw = false;
        try {
            writeXLSX(cases, QUrl::fromLocalFile(path));
        } catch (const ExcelError &error) {
            threw = true;
            QVERIFY(!error.detail().isEmpty());
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, savedHandler);

        QVERIFY(threw);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), earlier);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"keep.xlsx"_s});
    }

    void readOnlyFolderFails()
    {
        if (geteuid() == 0)
            QSKIP("permissions do not bind root; failedWriteKeepsEarlierFile covers the failing write");
        const QString folder = pathFor(u"locked"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + u"/out.xlsx"_s;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier");
        file.close();
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY_THROWS_EXCEPTION(ExcelError, writeXLSX({CourtCase()}, QUrl::fromLocalFile(path)));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "earlier"_ba);
    }

    void errorMessage()
    {
        const ExcelError error = ExcelError::writeFailed();
        QCOMPARE(error.errorDescription(), u"Nie udało się zapisać pliku XLSX."_s);
        QCOMPARE(QString::fromUtf8(error.what()), u"Nie udało się zapisać pliku XLSX."_s);
        QCOMPARE(ExcelError::writeFailed(u"disk full"_s).errorDescription(), error.errorDescription());
        QCOMPARE(ExcelError::writeFailed(u"disk full"_s).detail(), u"disk full"_s);
        QVERIFY(ExcelError::writeFailed(u"a"_s) == error);
        const LocalizedError &base = error;
        QCOMPARE(base.errorDescription(), error.errorDescription());
    }
};

QTEST_GUILESS_MAIN(XlsxWriterTest)
#include "tst_xlsxwriter.moc"
