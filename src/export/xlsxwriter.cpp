#include "xlsxwriter.h"

#include "export/excelerror.h"
#include "portal/unicodetext.h"

#include <QByteArray>
#include <QHash>
#include <QMultiHash>
#include <QSaveFile>

#include <zip.h>

#include <array>
#include <charconv>
#include <ctime>
#include <string_view>

using namespace Qt::StringLiterals;

const QStringList tableColumns = {
    u"Sygnatura"_s, u"Sąd"_s,        u"Wydział"_s,          u"Przedmiot sprawy"_s, u"Główne podmioty sprawy"_s,
    u"Referent"_s,  u"Data wpływu"_s, u"Data zakończenia"_s, u"Status"_s,
};

namespace {

// Namespace URIs of ECMA-376 (Transitional).
#define NS_CONTENT_TYPES "http://schemas.openxmlformats.org/package/2006/content-types"
#define NS_PACKAGE_RELATIONSHIPS "http://schemas.openxmlformats.org/package/2006/relationships"
#define NS_SPREADSHEET_MAIN "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
#define NS_DOCUMENT_RELATIONSHIPS "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
#define XML_DECLARATION "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"

constexpr std::string_view contentTypesXml =
    XML_DECLARATION "\n"
    "<Types xmlns=\"" NS_CONTENT_TYPES "\">\n"
    "  <Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>\n"
    "  <Default Extension=\"xml\" ContentType=\"application/xml\"/>\n"
    "  <Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>\n"
    "  <Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>\n"
    "  <Override PartName=\"/xl/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>\n"
    "  <Override PartName=\"/xl/sharedStrings.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>\n"
    "</Types>";

constexpr std::string_view packageRelationshipsXml =
    XML_DECLARATION "\n"
    "<Relationships xmlns=\"" NS_PACKAGE_RELATIONSHIPS "\">\n"
    "  <Relationship Id=\"rId1\" Type=\"" NS_DOCUMENT_RELATIONSHIPS "/officeDocument\" "
    "Target=\"xl/workbook.xml\"/>\n"
    "</Relationships>";

constexpr std::string_view workbookRelationshipsXml =
    XML_DECLARATION "\n"
    "<Relationships xmlns=\"" NS_PACKAGE_RELATIONSHIPS "\">\n"
    "  <Relationship Id=\"rId1\" Type=\"" NS_DOCUMENT_RELATIONSHIPS "/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>\n"
    "  <Relationship Id=\"rId2\" Type=\"" NS_DOCUMENT_RELATIONSHIPS "/styles\" Target=\"styles.xml\"/>\n"
    "  <Relationship Id=\"rId3\" Type=\"" NS_DOCUMENT_RELATIONSHIPS "/sharedStrings\" "
    "Target=\"sharedStrings.xml\"/>\n"
    "</Relationships>";

constexpr std::string_view workbookXml =
    XML_DECLARATION "\n"
    "<workbook xmlns=\"" NS_SPREADSHEET_MAIN "\" xmlns:r=\"" NS_DOCUMENT_RELATIONSHIPS "\">\n"
    "  <sheets>\n"
    "    <sheet name=\"Sprawy\" sheetId=\"1\" r:id=\"rId1\"/>\n"
    "  </sheets>\n"
    "</workbook>";

constexpr std::string_view stylesXml =
    XML_DECLARATION "\n"
    "<styleSheet xmlns=\"" NS_SPREADSHEET_MAIN "\">\n"
    "  <fonts count=\"2\">\n"
    "    <font><sz val=\"11\"/><name val=\"Calibri\"/></font>\n"
    "    <font><b/><sz val=\"11\"/><color rgb=\"FFFFFFFF\"/><name val=\"Calibri\"/></font>\n"
    "  </fonts>\n"
    "  <fills count=\"3\">\n"
    "    <fill><patternFill patternType=\"none\"/></fill>\n"
    "    <fill><patternFill patternType=\"gray125\"/></fill>\n"
    "    <fill><patternFill patternType=\"solid\"><fgColor rgb=\"FF1F4E79\"/></patternFill></fill>\n"
    "  </fills>\n"
    "  <borders count=\"2\">\n"
    "    <border><left/><right/><top/><bottom/><diagonal/></border>\n"
    "    <border>\n"
    "      <left style=\"thin\"><color auto=\"1\"/></left>\n"
    "      <right style=\"thin\"><color auto=\"1\"/></right>\n"
    "      <top style=\"thin\"><color auto=\"1\"/></top>\n"
    "      <bottom style=\"thin\"><color auto=\"1\"/></bottom>\n"
    "      <diagonal/>\n"
    "    </border>\n"
    "  </borders>\n"
    "  <cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>\n"
    "  <cellXfs count=\"3\">\n"
    "    <xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>\n"
    "    <xf numFmtId=\"0\" fontId=\"1\" fillId=\"2\" borderId=\"1\" applyFont=\"1\" applyFill=\"1\" "
    "applyBorder=\"1\" applyAlignment=\"1\">\n"
    "      <alignment horizontal=\"center\" vertical=\"center\" wrapText=\"1\"/>\n"
    "    </xf>\n"
    "    <xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"1\" applyBorder=\"1\" applyAlignment=\"1\">\n"
    "      <alignment vertical=\"top\" wrapText=\"1\"/>\n"
    "    </xf>\n"
    "  </cellXfs>\n"
    "</styleSheet>";

constexpr std::string_view sharedStringsHead = XML_DECLARATION "\n<sst xmlns=\"" NS_SPREADSHEET_MAIN "\" count=\"";

constexpr std::string_view sheetPrefix =
    XML_DECLARATION "\n"
    "<worksheet xmlns=\"" NS_SPREADSHEET_MAIN "\">\n"
    "  <sheetViews>\n"
    "    <sheetView tabSelected=\"1\" workbookViewId=\"0\">\n"
    "      <pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>\n"
    "    </sheetView>\n"
    "  </sheetViews>\n"
    "  <cols>";

static_assert(contentTypesXml.size() == 835);
static_assert(packageRelationshipsXml.size() == 300);
static_assert(workbookRelationshipsXml.size() == 575);
static_assert(workbookXml.size() == 296);
static_assert(stylesXml.size() == 1422);
static_assert(sharedStringsHead.size() == 134);
static_assert(sheetPrefix.size() == 322);

constexpr std::array<int, 9> xlsxColumnWidths = {16, 22, 22, 28, 28, 18, 14, 14, 14};
constexpr qsizetype columnCount = xlsxColumnWidths.size();

QByteArray columnLetter(qsizetype column)
{
    constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    if (column < 26)
        return QByteArray(1, letters[column]);
    return QByteArray{letters[column / 26 - 1], letters[column % 26]};
}

void appendView(QByteArray &out, std::string_view text)
{
    out.append(text.data(), qsizetype(text.size()));
}

void appendNumber(QByteArray &out, quint64 value)
{
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    out.append(digits, result.ptr - digits);
}

/** Distinct texts in first-seen order, equal under canonical equivalence. */
class SharedStringTable
{
public:
    int intern(const QString &text)
    {
        // Repeats with identical code units are the common case and skip normalisation.
        if (const auto found = m_exact.constFind(text); found != m_exact.cend())
            return *found;
        // Only the hash of the canonical form is kept, so the table holds no normalised copies.
        const QString canonical = UnicodeText::canonicalForm(text);
        const size_t hash = qHash(canonical);
        for (auto it = m_canonical.constFind(hash); it != m_canonical.cend() && it.key() == hash; ++it) {
            if (UnicodeText::canonicalForm(m_strings.at(*it)) == canonical) {
                m_exact.insert(text, *it);
                return *it;
            }
        }
        const int number = int(m_strings.size());
        m_strings.append(text);
        m_exact.insert(text, number);
        m_canonical.insert(hash, number);
        return number;
    }

    [[nodiscard]] const QList<QString> &strings() const { return m_strings; }

    void releaseIndex()
    {
        m_exact = {};
        m_canonical = {};
    }

private:
    QList<QString> m_strings;
    QHash<QString, int> m_exact;
    QMultiHash<size_t, int> m_canonical;
};

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
}

// A literal "_xHHHH_" would be read back as an escape; its underscore needs escaping itself.
bool startsEscapeLookalike(QStringView text, qsizetype i)
{
    if (i + 6 >= text.size() || text[i + 1] != u'x' || text[i + 6] != u'_')
        return false;
    return isHexDigit(text[i + 2]) && isHexDigit(text[i + 3]) && isHexDigit(text[i + 4]) && isHexDigit(text[i + 5]);
}

void appendSpreadsheetEscape(QByteArray &out, char16_t unit)
{
    constexpr std::string_view hex = "0123456789ABCDEF";
    const char escape[7] = {'_', 'x', hex[(unit >> 12) & 0xF], hex[(unit >> 8) & 0xF], hex[(unit >> 4) & 0xF],
                            hex[unit & 0xF], '_'};
    out.append(escape, sizeof escape);
}

// Characters XML 1.0 forbids; tab, line feed and carriage return are allowed.
bool isForbiddenInXml(char16_t unit)
{
    return (unit < 0x20 && unit != u'\t' && unit != u'\n' && unit != u'\r') || unit == 0xFFFE || unit == 0xFFFF;
}

/** UTF-8 of @p text with the five XML entities, spreadsheet escapes for XML-forbidden characters,
 *  escaped look-alikes of those escapes, and U+FFFD for lone surrogates. */
void appendEscapedText(QByteArray &out, QStringView text)
{
    const qsizetype length = text.size();
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            switch (unit) {
            case u'&':
                appendView(out, "&amp;");
                break;
            case u'<':
                appendView(out, "&lt;");
                break;
            case u'>':
                appendView(out, "&gt;");
                break;
            case u'"':
                appendView(out, "&quot;");
                break;
            case u'\'':
                appendView(out, "&apos;");
                break;
            case u'_':
                if (startsEscapeLookalike(text, i))
                    appendSpreadsheetEscape(out, u'_');
                else
                    out.append('_');
                break;
            default:
                if (isForbiddenInXml(unit))
                    appendSpreadsheetEscape(out, unit);
                else
                    out.append(char(unit));
            }
        } else if (unit < 0x800) {
            const char bytes[2] = {char(0xC0 | (unit >> 6)), char(0x80 | (unit & 0x3F))};
            out.append(bytes, 2);
        } else if (QChar::isHighSurrogate(unit) && i + 1 < length && text[i + 1].isLowSurrogate()) {
            const char32_t scalar = QChar::surrogateToUcs4(unit, text[i + 1].unicode());
            const char bytes[4] = {char(0xF0 | (scalar >> 18)), char(0x80 | ((scalar >> 12) & 0x3F)),
                                   char(0x80 | ((scalar >> 6) & 0x3F)), char(0x80 | (scalar & 0x3F))};
            out.append(bytes, 4);
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            appendView(out, "\xEF\xBF\xBD"); // U+FFFD
        } else if (isForbiddenInXml(unit)) {
            appendSpreadsheetEscape(out, unit);
        } else {
            const char bytes[3] = {char(0xE0 | (unit >> 12)), char(0x80 | ((unit >> 6) & 0x3F)),
                                   char(0x80 | (unit & 0x3F))};
            out.append(bytes, 3);
        }
    }
}

QByteArray sharedStringsPart(const QList<QString> &strings, quint64 cellCount)
{
    qsizetype estimate = 200;
    for (const QString &text : strings)
        estimate += text.size() + 16;
    QByteArray out;
    out.reserve(estimate);
    appendView(out, sharedStringsHead);
    appendNumber(out, cellCount);
    appendView(out, "\" uniqueCount=\"");
    appendNumber(out, quint64(strings.size()));
    appendView(out, "\">");
    for (const QString &text : strings) {
        appendView(out, "<si><t>");
        appendEscapedText(out, text);
        appendView(out, "</t></si>");
    }
    appendView(out, "</sst>");
    return out;
}

/** Builds the sheet while interning, so the string numbers never need to be stored. */
class SheetBuilder
{
public:
    explicit SheetBuilder(qsizetype caseCount)
    {
        for (qsizetype column = 0; column < columnCount; ++column)
            m_letters[column] = columnLetter(column);
        // Roughly 45 bytes per cell; growing past it is cheap, a far too small guess is not.
        m_out.reserve(700 + (caseCount + 1) * (columnCount * 45 + 24));
        appendView(m_out, sheetPrefix);
        for (qsizetype column = 0; column < columnCount; ++column) {
            appendView(m_out, "    <col min=\"");
            appendNumber(m_out, quint64(column + 1));
            appendView(m_out, "\" max=\"");
            appendNumber(m_out, quint64(column + 1));
            appendView(m_out, "\" width=\"");
            appendNumber(m_out, quint64(xlsxColumnWidths[column]));
            appendView(m_out, "\" customWidth=\"1\"/>\n");
        }
        appendView(m_out, "  </cols>\n  <sheetData>\n");
    }

    void beginRow(quint64 rowNumber)
    {
        m_rowNumber.clear();
        appendNumber(m_rowNumber, rowNumber);
        appendView(m_out, "    <row r=\"");
        m_out.append(m_rowNumber);
        appendView(m_out, "\">");
    }

    void addCell(qsizetype column, int stringNumber, std::string_view format)
    {
        appendView(m_out, "<c r=\"");
        m_out.append(m_letters[column]);
        m_out.append(m_rowNumber);
        appendView(m_out, "\" t=\"s\" s=\"");
        appendView(m_out, format);
        appendView(m_out, "\"><v>");
        appendNumber(m_out, quint64(stringNumber));
        appendView(m_out, "</v></c>");
    }

    void endRow() { appendView(m_out, "</row>\n"); }

    QByteArray finish()
    {
        appendView(m_out, "  </sheetData>\n</worksheet>");
        return std::move(m_out);
    }

private:
    QByteArray m_out;
    QByteArray m_rowNumber;
    std::array<QByteArray, columnCount> m_letters;
};

class ZipArchive
{
public:
    ZipArchive()
    {
        zip_error_t error;
        zip_error_init(&error);
        m_buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
        if (m_buffer)
            m_archive = zip_open_from_source(m_buffer, ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (!m_archive) {
            const QString detail = QString::fromUtf8(zip_error_strerror(&error));
            zip_error_fini(&error);
            if (m_buffer)
                zip_source_free(m_buffer);
            throw ExcelError::writeFailed(detail);
        }
        zip_error_fini(&error);
        // The archive would free its source on close; the bytes are read from it afterwards.
        zip_source_keep(m_buffer);
    }

    ~ZipArchive()
    {
        if (m_archive)
            zip_discard(m_archive);
        zip_source_free(m_buffer);
    }

    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    /** Adds @p content as a stored entry; the bytes must stay alive until close(). */
    void addTextEntry(const char *path, std::string_view content)
    {
        zip_source_t *source = zip_source_buffer(m_archive, content.data(), content.size(), 0);
        if (!source)
            fail();
        const zip_int64_t index = zip_file_add(m_archive, path, source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(source);
            fail();
        }
        if (zip_set_file_compression(m_archive, zip_uint64_t(index), ZIP_CM_STORE, 0) < 0
            || zip_file_set_mtime(m_archive, zip_uint64_t(index), std::time(nullptr), 0) < 0)
            fail();
    }

    /** Writes the archive into its memory buffer. */
    void close()
    {
        if (zip_close(m_archive) < 0)
            fail();
        m_archive = nullptr;
    }

    /** The archive's bytes, after close(). */
    QByteArray data()
    {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_source_stat(m_buffer, &stat) < 0 || !(stat.valid & ZIP_STAT_SIZE) || stat.size == 0
            || zip_source_open(m_buffer) < 0)
            throw ExcelError::writeFailed();
        QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
        qsizetype filled = 0;
        while (filled < bytes.size()) {
            const zip_int64_t count = zip_source_read(m_buffer, bytes.data() + filled, zip_uint64_t(bytes.size() - filled));
            if (count <= 0)
                break;
            filled += qsizetype(count);
        }
        zip_source_close(m_buffer);
        if (filled != bytes.size())
            throw ExcelError::writeFailed();
        return bytes;
    }

private:
    [[noreturn]] void fail()
    {
        throw ExcelError::writeFailed(QString::fromUtf8(zip_strerror(m_archive)));
    }

    zip_source_t *m_buffer = nullptr;
    zip_t *m_archive = nullptr;
};

std::string_view view(const QByteArray &bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}

QByteArray buildPackage(const QList<CourtCase> &cases)
{
    SharedStringTable table;
    SheetBuilder sheet(cases.size());

    sheet.beginRow(1);
    for (qsizetype column = 0; column < columnCount; ++column)
        sheet.addCell(column, table.intern(tableColumns.at(column)), "1");
    sheet.endRow();

    quint64 row = 2;
    for (const CourtCase &record : cases) {
        sheet.beginRow(row++);
        const std::array<const QString *, columnCount> fields = {
            &record.sygnatura,  &record.sad,        &record.wydzial,
            &record.przedmiot,  &record.glownePodmioty, &record.referent,
            &record.dataWplywu, &record.dataZakonczenia, &record.status,
        };
        for (qsizetype column = 0; column < columnCount; ++column)
            sheet.addCell(column, table.intern(*fields[column]), "2");
        sheet.endRow();
    }
    table.releaseIndex();

    QByteArray sheetXml = sheet.finish();
    QByteArray sharedStringsXml = sharedStringsPart(table.strings(), quint64(columnCount) * quint64(cases.size() + 1));

    ZipArchive archive;
    archive.addTextEntry("[Content_Types].xml", contentTypesXml);
    archive.addTextEntry("_rels/.rels", packageRelationshipsXml);
    archive.addTextEntry("xl/_rels/workbook.xml.rels", workbookRelationshipsXml);
    archive.addTextEntry("xl/workbook.xml", workbookXml);
    archive.addTextEntry("xl/sharedStrings.xml", view(sharedStringsXml));
    archive.addTextEntry("xl/styles.xml", stylesXml);
    archive.addTextEntry("xl/worksheets/sheet1.xml", view(sheetXml));
    archive.close();
    // The parts are copied into the archive; dropping them first keeps the peak near two workbooks.
    sheetXml = {};
    sharedStringsXml = {};
    return archive.data();
}

} // namespace

void writeXLSX(const QList<CourtCase> &cases, const QUrl &destination)
{
    const QByteArray package = buildPackage(cases);

    if (!destination.isLocalFile())
        throw ExcelError::writeFailed(u"Not a local file: "_s + destination.toString());
    // A temporary file beside the destination, renamed over it only when complete.
    QSaveFile file(destination.toLocalFile());
    if (!file.open(QIODevice::WriteOnly))
        throw ExcelError::writeFailed(file.errorString());
    if (file.write(package) != package.size()) {
        const QString detail = file.errorString();
        file.cancelWriting();
        throw ExcelError::writeFailed(detail);
    }
    if (!file.commit())
        throw ExcelError::writeFailed(file.errorString());
}
