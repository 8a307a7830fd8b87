// The workbook: its parts byte for byte, a save that fails, and its file name.
#include "export/excelerror.h"
#include "export/outputfile.h"
#include "export/xlsxwriter.h"

#include <QDir>
#include <QHash>
#include <QLocale>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <zip.h>

#include <cerrno>
#include <dlfcn.h>
#include <csignal>
#include <numeric>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

const QList<QByteArray> partNames { "[Content_Types].xml", "_rels/.rels", "xl/_rels/workbook.xml.rels",
    "xl/workbook.xml", "xl/sharedStrings.xml", "xl/styles.xml", "xl/worksheets/sheet1.xml" };

// The package's entries in their order, read back with libzip: each name, marked when the entry is not stored
// as it is, and its bytes.
QList<std::pair<QByteArray, QByteArray>> entries(const QString &path)
{
    QList<std::pair<QByteArray, QByteArray>> read;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, nullptr);
    zip_stat_t entry;
    for (zip_uint64_t i = 0; archive && zip_stat_index(archive, i, 0, &entry) == 0; ++i) {
        read.append({ QByteArray(entry.name) + (entry.comp_method == ZIP_CM_STORE ? "" : " (compressed)"), {} });
        zip_file_t *file = zip_fopen_index(archive, i, 0);
        char buffer[4096];
        for (zip_int64_t count; file && (count = zip_fread(file, buffer, sizeof buffer)) > 0;)
            read.last().second.append(buffer, count);
        zip_fclose(file);
    }
    zip_discard(archive);
    return read;
}

// The part @p name of the workbook of an empty case list.
QByteArray emptyWorkbookPart(const QByteArray &name)
{
    QFile file(QStringLiteral(VELMORIA_EXPORT_TEST_DATA "/emptyworkbook/") + QString::fromUtf8(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool s_renameFails = false;
bool s_syncFails = false;

} // namespace

// The system's rename, made to fail on demand: the last step of a save that replaces an earlier file.
extern "C" int rename(const char *from, const char *to)
{
    if (s_renameFails) {
        errno = EBUSY;
        return -1;
    }
    static const auto system = reinterpret_cast<int (*)(const char *, const char *)>(dlsym(RTLD_NEXT, "rename"));
    return system(from, to);
}

// The system's fsync, made to fail on demand: a network share may report a full disk only there.
extern "C" int fsync(int descriptor)
{
    if (s_syncFails) {
        errno = ENOSPC;
        return -1;
    }
    static const auto system = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    return system(descriptor);
}

class XlsxWriterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Names must not depend on the user's locale: this one has other digits and another calendar.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt)); }

    void fileName_data()
    {
        QTest::addColumn<QString>("apelacja");
        QTest::addColumn<QString>("podmiot");
        QTest::addColumn<QString>("expected");
        // No party part; every "Apelacja " removed; padded digits.
        QTest::newRow("no party") << u"Apelacja Apelacja gdańska"_s << QString() << u"gdańska_sprawy_20250305_0407.xlsx"_s;
        // Letters, marks and numbers of any plane, inner tabs and no-break spaces stay; symbols, line
        // breaks, controls, emoji and lone surrogates go.
        const QString dropped = u"/\\:*?\"<>|%#€+\n\r\u2028\u0001\u007F\U0001F600"_s + QChar(0xD800);
        QTest::newRow("kept and dropped")
            << u"Apelacja łódzka"_s
            << u"\t Żółć½\u0663\U0001D400 Zo\u0301\u0142w\u00A0a\tb"_s + dropped + u"-1 \t"_s
            << u"łódzka_sprawy_Żółć½\u0663\U0001D400_Zo\u0301\u0142w\u00A0a\tb-1_20250305_0407.xlsx"_s;
        // 40 clusters, not code units, counted once the punctuation is gone; a former space may end it.
        const QString accented = u"e\u0301"_s.repeated(39);
        QTest::newRow("cut to 40") << u"Apelacja łódzka"_s << u"....."_s + accented + u" bcd"_s
                                   << u"łódzka_sprawy_"_s + accented + u"__20250305_0407.xlsx"_s;
        // Within 255 bytes of UTF-8, cut at clusters: the party part first (here to exactly 255: a Hangul
        // syllable of three jamo is 9 bytes, U+1D400 4), then the region part.
        const QString jamo = u"\u1100\u1161\u11A8"_s;
        QTest::newRow("party cut to 255 bytes")
            << u"Apelacja łódzka"_s << jamo.repeated(24) + u"\U0001D400"_s + jamo.repeated(10)
            << u"łódzka_sprawy_"_s + jamo.repeated(24) + u"\U0001D400_20250305_0407.xlsx"_s;
        const QString stacked = u"a\u0300\u0301\u0302\u0303\u0304\u0305\u0306\u0307\u0308\u0309"_s;
        QTest::newRow("party emptied, region cut")
            << u"Apelacja "_s + stacked.repeated(40) << jamo.repeated(40)
            << stacked.repeated(10) + u"_sprawy__20250305_0407.xlsx"_s;
        const QString exactly = u"ą"_s.repeated(39) + u"a"_s + u"\u0301"_s.repeated(69);
        QTest::newRow("exactly 255 bytes kept")
            << u"Apelacja wrocławska"_s << exactly
            << u"wrocławska_sprawy_"_s + exactly + u"_20250305_0407.xlsx"_s;
        QTest::newRow("256 bytes cut") // a three-byte letter in place of a two-byte one
            << u"Apelacja wrocławska"_s << u"ą"_s.repeated(38) + u"ḁa"_s + u"\u0301"_s.repeated(69)
            << u"wrocławska_sprawy_"_s + u"ą"_s.repeated(38) + u"ḁ_20250305_0407.xlsx"_s;
    }

    void fileName()
    {
        QFETCH(QString, apelacja);
        QFETCH(QString, podmiot);
        QFETCH(QString, expected);
        const QUrl folder = QUrl::fromLocalFile(u"/data/Wyniki spraw"_s);
        const QDateTime moment(QDate(2025, 3, 5), QTime(4, 7, 59));
        QCOMPARE(makeOutputURL(apelacja, podmiot, folder, moment).toLocalFile(),
            u"/data/Wyniki spraw/"_s + expected);
    }

    void parts_data()
    {
        QTest::addColumn<QList<CourtCase>>("cases");
        QTest::addColumn<QList<QList<int>>>("rows"); // the data rows' string numbers
        QTest::addColumn<QStringList>("newStrings"); // after the nine titles, as written
        QTest::newRow("no cases") << QList<CourtCase>() << QList<QList<int>>() << QStringList();
        const QStringList a { u"I C 1/24"_s, u"Sąd"_s, u"I Wydział"_s, u""_s, u"Status"_s };
        const QList<int> aRow { 9, 1, 10, 11, 8, 11, 11, 11, 11 };
        // First-seen numbering; titles and the empty text reused; a duplicate case. Canonically equal texts
        // are one string, written as first met; so are lone halves and U+FFFD, all written as U+FFFD.
        const CourtCase b({ u"Zo\u0301\u0142w"_s, u"Z\u00F3\u0142w"_s, u"Sa\u0328d"_s, QString(QChar(0xDC00)),
            QString(QChar(0xD800)), u"\uFFFD"_s });
        QTest::newRow("several cases")
            << QList { CourtCase(a), b, CourtCase(a) }
            << QList<QList<int>> { aRow, { 12, 12, 1, 13, 13, 13, 11, 11, 11 }, aRow }
            << QStringList { a[0], a[2], a[3], u"Zo\u0301\u0142w"_s, u"\uFFFD"_s };
        // What a reader would take for an escape is written with its first underscore escaped: one to four
        // hex digits followed by an underscore or by an escaped character; five digits are no escape.
        const QStringList lookalikes { u"a_x00_b"_s, u"_x1_x2_"_s, u"_xD_"_s, u"_x9\r"_s, u"_x00A_"_s,
            u"_x12345_"_s, u"_x0041_"_s, u"_xG_"_s, u"_x1F"_s };
        QTest::newRow("escape look-alikes")
            << QList { CourtCase(lookalikes) } << QList<QList<int>> { { 9, 10, 11, 12, 13, 14, 15, 16, 17 } }
            << QStringList { u"a_x005F_x00_b"_s, u"_x005F_x1_x005F_x2_"_s, u"_x005F_xD_"_s,
                   u"_x005F_x9_x000D_"_s, u"_x005F_x00A_"_s, u"_x12345_"_s, u"_x005F_x0041_"_s, u"_xG_"_s,
                   u"_x1F"_s };
        // The five XML entities; what XML forbids, and CR, which a reader would turn into LF, as escapes; tabs,
        // line feeds, spaces and any other character as they are.
        QTest::newRow("escapes") << QList { CourtCase({ u"a&b<c>\"d'"_s, u"&amp;"_s, u"\u0001\u001F\u000B"_s,
                                        QString(QChar(0)) + u"\uFFFE\uFFFF"_s, u"\t\n  \r\n"_s, u"_x005F_"_s,
                                        u"_x0041\u0001"_s, u"😀 Łódź"_s, u"x"_s }) }
                                 << QList<QList<int>> { { 9, 10, 11, 12, 13, 14, 15, 16, 17 } }
                                 << QStringList { u"a&amp;b&lt;c&gt;&quot;d&apos;"_s, u"&amp;amp;"_s,
                                        u"_x0001__x001F__x000B_"_s, u"_x0000__xFFFE__xFFFF_"_s,
                                        u"\t\n  _x000D_\n"_s, u"_x005F_x005F_"_s, u"_x005F_x0041_x0001_"_s,
                                        u"😀 Łódź"_s, u"x"_s };
        // Texts met again after the table has grown keep their numbers.
        QList<CourtCase> many;
        QList<QList<int>> manyRows;
        QStringList manyStrings;
        for (int first = 9; first < 9009; first += 9) {
            manyRows.append(QList<int>(9));
            std::iota(manyRows.last().begin(), manyRows.last().end(), first);
            for (int number : manyRows.last())
                manyStrings.append(QString::number(number));
            many.append(CourtCase(manyStrings.last(9)));
        }
        QTest::newRow("a thousand cases, a hundred again")
            << many + many.first(100) << manyRows + manyRows.first(100) << manyStrings;
    }

    // Every part byte for byte, stored, in their order: the fixed ones, the sheet's rows and the string
    // table with its counts.
    // An earlier workbook of the same name is replaced, with no leftovers.
    void parts()
    {
        QFETCH(QList<CourtCase>, cases);
        QFETCH(QList<QList<int>>, rows);
        QFETCH(QStringList, newStrings);
        QByteArray sheet = emptyWorkbookPart("xl/worksheets/sheet1.xml");
        for (int k = 0; k < rows.size(); ++k) {
            const QByteArray r = QByteArray::number(k + 2);
            QByteArray row = "    <row r=\"" + r + "\">";
            for (int column = 0; column < 9; ++column)
                row += "<c r=\"" + QByteArray(1, char('A' + column)) + r + "\" t=\"s\" s=\"2\"><v>"
                    + QByteArray::number(rows[k][column]) + "</v></c>";
            sheet.insert(sheet.indexOf("  </sheetData>"), row + "</row>\n");
        }
        QByteArray strings = emptyWorkbookPart("xl/sharedStrings.xml");
        strings.replace("count=\"9\" uniqueCount=\"9\"",
            "count=\"" + QByteArray::number(9 * (cases.size() + 1)) + "\" uniqueCount=\""
                + QByteArray::number(9 + newStrings.size()) + "\"");
        for (const QString &text : newStrings)
            strings.insert(strings.size() - 6, "<si><t>" + text.toUtf8() + "</t></si>"); // before "</sst>"

        const QTemporaryDir dir;
        const QString path = dir.filePath(u"out.xlsx"_s);
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
        earlier.close();
        writeXLSX(cases, QUrl::fromLocalFile(path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { u"out.xlsx"_s });
        QList<std::pair<QByteArray, QByteArray>> expected;
        for (const QByteArray &name : partNames)
            expected.append({ name, name.endsWith("sheet1.xml") ? sheet
                                  : name.endsWith("Strings.xml") ? strings
                                                                 : emptyWorkbookPart(name) });
        QCOMPARE(entries(path), expected);
    }

    void keepOnFailure_data()
    {
        QTest::addColumn<int>("caseCount");
        QTest::addColumn<QString>("failing"); // "space" (the disk is full), "sync" or "rename"
        // A small workbook sits in a write buffer until the end: that late failure counts too.
        QTest::newRow("small workbook") << 0 << u"space"_s;
        QTest::newRow("large workbook") << 2000 << u"space"_s;
        QTest::newRow("the disk is full only at the sync") << 10 << u"sync"_s;
        QTest::newRow("the earlier workbook cannot be replaced") << 10 << u"rename"_s;
    }

    // A save that fails for want of space, also where that shows only at the sync, or at its last step,
    // leaves an earlier workbook as it was, with no leftovers, and names the system's cause.
    void keepOnFailure()
    {
        QFETCH(int, caseCount);
        QFETCH(QString, failing);
        const QString name = u"wrocławska_sprawy_20250305_1407.xlsx"_s;
        const QTemporaryDir dir;
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("earlier") == 7);
        file.close();
        QString detail;
        {
            rlimit fileSize {};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &fileSize), 0);
            const auto lift = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &fileSize); });
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit small { 4096, fileSize.rlim_max }; // below even an empty workbook
            QCOMPARE(setrlimit(RLIMIT_FSIZE, failing == u"space"_s ? &small : &fileSize), 0);
            s_renameFails = failing == u"rename"_s;
            s_syncFails = failing == u"sync"_s;
            const auto mend = qScopeGuard([] { s_renameFails = s_syncFails = false; });
            try {
                writeXLSX(QList<CourtCase>(caseCount, CourtCase({ u"nowy"_s })),
                    QUrl::fromLocalFile(file.fileName()));
            } catch (const ExcelError &error) {
                QCOMPARE(error.errorDescription(), u"Nie udało się zapisać pliku XLSX."_s);
                detail = error.detail();
            }
        }
        const QHash<QString, int> cause { { u"space"_s, EFBIG }, { u"sync"_s, ENOSPC }, { u"rename"_s, EBUSY } };
        QVERIFY2(detail.endsWith(qt_error_string(cause.value(failing))), qPrintable(detail));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("earlier"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { name });
    }
};

QTEST_GUILESS_MAIN(XlsxWriterTest)
#include "tst_xlsxwriter.moc"
