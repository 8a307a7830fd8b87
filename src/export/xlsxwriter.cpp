#include "xlsxwriter.h"

#include "export/excelerror.h"
#include "portal/unicodetext.h"

#include <QByteArray>
#include <QSaveFile>

#include <zip.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include <unistd.h>

using namespace Qt::StringLiterals;

const QStringList tableColumns = {
    u"Sygnatura"_s,
    u"Sąd"_s,
    u"Wydział"_s,
    u"Przedmiot sprawy"_s,
    u"Główne podmioty sprawy"_s,
    u"Referent"_s,
    u"Data wpływu"_s,
    u"Data zakończenia"_s,
    u"Status"_s,
};

namespace {

// Namespace URIs of ECMA-376 (Transitional).
#define NS_CONTENT_TYPES "http://schemas.openxmlformats.org/package/2006/content-types"
#define NS_PACKAGE_RELATIONSHIPS "http://schemas.openxmlformats.org/package/2006/relationships"
#define NS_SPREADSHEET_MAIN "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
#define NS_DOCUMENT_RELATIONSHIPS "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
#define XML_DECLARATION "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"

constexpr std::string_view contentTypesXml = XML_DECLARATION
    "\n"
    "<Types xmlns=\"" NS_CONTENT_TYPES "\">\n"
    "  <Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>\n"
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

constexpr std::string_view packageRelationshipsXml
    = XML_DECLARATION "\n"
                      "<Relationships xmlns=\"" NS_PACKAGE_RELATIONSHIPS "\">\n"
                      "  <Relationship Id=\"rId1\" Type=\"" NS_DOCUMENT_RELATIONSHIPS "/officeDocument\" "
                      "Target=\"xl/workbook.xml\"/>\n"
                      "</Relationships>";

constexpr std::string_view workbookRelationshipsXml = XML_DECLARATION
    "\n"
    "<Relationships xmlns=\"" NS_PACKAGE_RELATIONSHIPS "\">\n"
    "  <Relationship Id=\"rId1\" Type=\"" NS_DOCUMENT_RELATIONSHIPS "/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>\n"
    "  <Relationship Id=\"rId2\" Type=\"" NS_DOCUMENT_RELATIONSHIPS "/styles\" Target=\"styles.xml\"/>\n"
    "  <Relationship Id=\"rId3\" Type=\"" NS_DOCUMENT_RELATIONSHIPS "/sharedStrings\" "
    "Target=\"sharedStrings.xml\"/>\n"
    "</Relationships>";

constexpr std::string_view workbookXml = XML_DECLARATION
    "\n"
    "<workbook xmlns=\"" NS_SPREADSHEET_MAIN "\" xmlns:r=\"" NS_DOCUMENT_RELATIONSHIPS "\">\n"
    "  <sheets>\n"
    "    <sheet name=\"Sprawy\" sheetId=\"1\" r:id=\"rId1\"/>\n"
    "  </sheets>\n"
    "</workbook>";

constexpr std::string_view stylesXml = XML_DECLARATION
    "\n"
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
    "  <cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
    "borderId=\"0\"/></cellStyleXfs>\n"
    "  <cellXfs count=\"3\">\n"
    "    <xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>\n"
    "    <xf numFmtId=\"0\" fontId=\"1\" fillId=\"2\" borderId=\"1\" applyFont=\"1\" applyFill=\"1\" "
    "applyBorder=\"1\" applyAlignment=\"1\">\n"
    "      <alignment horizontal=\"center\" vertical=\"center\" wrapText=\"1\"/>\n"
    "    </xf>\n"
    "    <xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"1\" applyBorder=\"1\" "
    "applyAlignment=\"1\">\n"
    "      <alignment vertical=\"top\" wrapText=\"1\"/>\n"
    "    </xf>\n"
    "  </cellXfs>\n"
    "</styleSheet>";

constexpr std::string_view sharedStringsHead
    = XML_DECLARATION "\n<sst xmlns=\"" NS_SPREADSHEET_MAIN "\" count=\"";

constexpr std::string_view sheetPrefix = XML_DECLARATION
    "\n"
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

constexpr std::array<int, 9> xlsxColumnWidths = { 16, 22, 22, 28, 28, 18, 14, 14, 14 };
constexpr qsizetype columnCount = xlsxColumnWidths.size();

QByteArray columnLetter(qsizetype column)
{
    constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    if (column < 26)
        return QByteArray(1, letters[column]);
    return QByteArray { letters[column / 26 - 1], letters[column % 26] };
}

/** An append-only UTF-8 buffer written through a raw pointer; a part is tens of megabytes of small appends.
 */
class ByteWriter
{
public:
    explicit ByteWriter(qsizetype capacity) { m_bytes.resize(std::max<qsizetype>(capacity, 64)); }

    /** Makes room for @p count more bytes and returns where they go; commit() them afterwards. */
    char *room(qsizetype count)
    {
        if (m_bytes.size() - m_used < count)
            m_bytes.resize(std::max(m_used + count, m_bytes.size() + m_bytes.size() / 2));
        return m_bytes.data() + m_used;
    }

    void commit(char *end) { m_used = end - m_bytes.constData(); }

    void append(std::string_view text)
    {
        char *out = room(qsizetype(text.size()));
        std::memcpy(out, text.data(), text.size());
        commit(out + text.size());
    }

    void appendNumber(quint64 value)
    {
        char *out = room(20);
        commit(std::to_chars(out, out + 20, value).ptr);
    }

    QByteArray take()
    {
        m_bytes.truncate(m_used);
        m_bytes.squeeze();
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    qsizetype m_used = 0;
};

// A quick multiply-xorshift hash over the UTF-16 code units, eight bytes at a time.
quint64 textHash(QStringView text)
{
    const char16_t *units = text.utf16();
    qsizetype left = text.size();
    quint64 hash = 0x9E3779B97F4A7C15ULL ^ quint64(left);
    while (left >= 4) {
        quint64 word;
        std::memcpy(&word, units, sizeof word);
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDULL;
        hash ^= hash >> 32;
        units += 4;
        left -= 4;
    }
    quint64 tail = 0;
    if (left > 0) // an empty text may have no data pointer at all
        std::memcpy(&tail, units, size_t(left) * sizeof(char16_t));
    hash = (hash ^ tail) * 0xC4CEB9FE1A85EC53ULL;
    return hash ^ (hash >> 29);
}

/**
 * Distinct texts in first-seen order, equal under canonical equivalence once lone surrogates are
 * replaced as they will be written. Texts are looked up by that NFC form: nearly all real text is NFC
 * already without lone surrogates, and Qt then returns it unchanged without allocating.
 * Open addressing over (hash, number) slots; growing never rehashes a text.
 */
class SharedStringTable
{
public:
    explicit SharedStringTable(qsizetype expected)
    {
        qsizetype capacity = 1024;
        while (capacity < expected * 2)
            capacity *= 2;
        m_slots.assign(size_t(capacity), Slot {});
    }

    int intern(const QString &text)
    {
        QString key = UnicodeText::replacingLoneSurrogates(text).normalized(QString::NormalizationForm_C);
        const quint64 hash = textHash(key);
        const size_t mask = m_slots.size() - 1;
        for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
            const Slot slot = m_slots[i];
            if (slot.number < 0)
                break;
            if (slot.hash == hash && m_keys.at(slot.number) == key)
                return slot.number;
        }
        const int number = int(m_strings.size());
        m_strings.append(text);
        m_keys.append(std::move(key));
        if (size_t(m_strings.size()) * 2 > m_slots.size())
            grow();
        place(Slot { hash, number });
        return number;
    }

    [[nodiscard]] const QList<QString> &strings() const { return m_strings; }

    void releaseIndex()
    {
        m_keys = {};
        m_slots = {};
    }

private:
    struct Slot
    {
        quint64 hash = 0;
        int number = -1;
    };

    void place(Slot slot)
    {
        const size_t mask = m_slots.size() - 1;
        size_t i = size_t(slot.hash) & mask;
        while (m_slots[i].number >= 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }

    void grow()
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        for (const Slot &slot : old) {
            if (slot.number >= 0)
                place(slot);
        }
    }

    QList<QString> m_strings; // as first met: these are written
    QList<QString> m_keys; // NFC forms, mostly sharing the strings' data
    std::vector<Slot> m_slots;
};

bool isHexDigit(char16_t u)
{
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
}

// Characters written as "_xHHHH_": those XML 1.0 forbids, and the carriage return, which XML readers
// turn (alone or before a line feed) into a line feed.
bool needsSpreadsheetEscape(char16_t unit)
{
    return (unit < 0x20 && unit != u'\t' && unit != u'\n') || unit == 0xFFFE || unit == 0xFFFF;
}

// Written as is, "_x" with one to four hex digits followed by an underscore, or by an escape (which
// starts with one), would be read back as an escape: readers decode four digits, LibreOffice also one
// to three. The first underscore then needs escaping itself.
bool startsEscapeLookalike(const char16_t *units, qsizetype i, qsizetype length)
{
    if (i + 1 >= length || units[i + 1] != u'x')
        return false;
    // Five digits are counted so that a longer run, which nobody decodes, is left alone.
    qsizetype end = i + 2;
    while (end < length && end < i + 7 && isHexDigit(units[end]))
        ++end;
    const qsizetype digits = end - (i + 2);
    return digits >= 1 && digits <= 4 && end < length
        && (units[end] == u'_' || needsSpreadsheetEscape(units[end]));
}

char *putSpreadsheetEscape(char *out, char16_t unit)
{
    constexpr std::string_view hex = "0123456789ABCDEF";
    *out++ = '_';
    *out++ = 'x';
    *out++ = hex[(unit >> 12) & 0xF];
    *out++ = hex[(unit >> 8) & 0xF];
    *out++ = hex[(unit >> 4) & 0xF];
    *out++ = hex[unit & 0xF];
    *out++ = '_';
    return out;
}

char *put(char *out, std::string_view text)
{
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

/** UTF-8 of @p text with the five XML entities, spreadsheet escapes for XML-forbidden characters and CR,
 *  escaped look-alikes of those escapes, and U+FFFD for lone surrogates. */
void appendEscapedText(ByteWriter &writer, QStringView text)
{
    const char16_t *units = text.utf16();
    const qsizetype length = text.size();
    // At most seven bytes per code unit ("_x0001_"); a pair of surrogates makes four.
    char *out = writer.room(length * 7);
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            switch (unit) {
            case u'&':
                out = put(out, "&amp;");
                break;
            case u'<':
                out = put(out, "&lt;");
                break;
            case u'>':
                out = put(out, "&gt;");
                break;
            case u'"':
                out = put(out, "&quot;");
                break;
            case u'\'':
                out = put(out, "&apos;");
                break;
            case u'_':
                if (startsEscapeLookalike(units, i, length))
                    out = putSpreadsheetEscape(out, u'_');
                else
                    *out++ = '_';
                break;
            default:
                if (needsSpreadsheetEscape(unit))
                    out = putSpreadsheetEscape(out, unit);
                else
                    *out++ = char(unit);
            }
        } else if (unit < 0x800) {
            *out++ = char(0xC0 | (unit >> 6));
            *out++ = char(0x80 | (unit & 0x3F));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < length && QChar::isLowSurrogate(units[i + 1])) {
            const char32_t scalar = QChar::surrogateToUcs4(unit, units[i + 1]);
            *out++ = char(0xF0 | (scalar >> 18));
            *out++ = char(0x80 | ((scalar >> 12) & 0x3F));
            *out++ = char(0x80 | ((scalar >> 6) & 0x3F));
            *out++ = char(0x80 | (scalar & 0x3F));
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            out = put(out, "\xEF\xBF\xBD"); // U+FFFD
        } else if (needsSpreadsheetEscape(unit)) {
            out = putSpreadsheetEscape(out, unit);
        } else {
            *out++ = char(0xE0 | (unit >> 12));
            *out++ = char(0x80 | ((unit >> 6) & 0x3F));
            *out++ = char(0x80 | (unit & 0x3F));
        }
    }
    writer.commit(out);
}

QByteArray sharedStringsPart(const QList<QString> &strings, quint64 cellCount)
{
    qsizetype estimate = 200;
    for (const QString &text : strings)
        estimate += text.size() * 2 + 16;
    ByteWriter out(estimate);
    out.append(sharedStringsHead);
    out.appendNumber(cellCount);
    out.append("\" uniqueCount=\"");
    out.appendNumber(quint64(strings.size()));
    out.append("\">");
    for (const QString &text : strings) {
        out.append("<si><t>");
        appendEscapedText(out, text);
        out.append("</t></si>");
    }
    out.append("</sst>");
    return out.take();
}

/** Builds the sheet while interning, so the string numbers never need to be stored. */
class SheetBuilder
{
public:
    explicit SheetBuilder(qsizetype caseCount)
        // About 45 bytes per cell; untouched reserve is never made resident.
        : m_out(700 + (caseCount + 1) * (columnCount * 48 + 24))
    {
        for (qsizetype column = 0; column < columnCount; ++column)
            m_letters[column] = columnLetter(column);
        m_out.append(sheetPrefix);
        for (qsizetype column = 0; column < columnCount; ++column) {
            m_out.append("    <col min=\"");
            m_out.appendNumber(quint64(column + 1));
            m_out.append("\" max=\"");
            m_out.appendNumber(quint64(column + 1));
            m_out.append("\" width=\"");
            m_out.appendNumber(quint64(xlsxColumnWidths[column]));
            m_out.append("\" customWidth=\"1\"/>\n");
        }
        m_out.append("  </cols>\n  <sheetData>\n");
    }

    void beginRow(quint64 rowNumber)
    {
        m_rowNumberLength
            = std::to_chars(m_rowNumber, m_rowNumber + sizeof m_rowNumber, rowNumber).ptr - m_rowNumber;
        m_out.append("    <row r=\"");
        m_out.append(std::string_view(m_rowNumber, size_t(m_rowNumberLength)));
        m_out.append("\">");
    }

    void addCell(qsizetype column, int stringNumber, char format)
    {
        const QByteArray &letter = m_letters[column];
        char *out = m_out.room(64 + letter.size());
        out = put(out, "<c r=\"");
        out = put(out, std::string_view(letter.constData(), size_t(letter.size())));
        out = put(out, std::string_view(m_rowNumber, size_t(m_rowNumberLength)));
        out = put(out, "\" t=\"s\" s=\"");
        *out++ = format;
        out = put(out, "\"><v>");
        out = std::to_chars(out, out + 12, stringNumber).ptr;
        out = put(out, "</v></c>");
        m_out.commit(out);
    }

    void endRow() { m_out.append("</row>\n"); }

    QByteArray finish()
    {
        m_out.append("  </sheetData>\n</worksheet>");
        return m_out.take();
    }

private:
    ByteWriter m_out;
    char m_rowNumber[24] = {};
    qsizetype m_rowNumberLength = 0;
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
            const zip_int64_t count
                = zip_source_read(m_buffer, bytes.data() + filled, zip_uint64_t(bytes.size() - filled));
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
    [[noreturn]] void fail() { throw ExcelError::writeFailed(QString::fromUtf8(zip_strerror(m_archive))); }

    zip_source_t *m_buffer = nullptr;
    zip_t *m_archive = nullptr;
};

std::string_view view(const QByteArray &bytes) { return { bytes.constData(), size_t(bytes.size()) }; }

struct GeneratedParts
{
    QByteArray sharedStrings;
    QByteArray sheet;
};

// The table lives only here, so its memory is gone before the archive is built.
GeneratedParts buildGeneratedParts(const QList<CourtCase> &cases)
{
    // Most cases bring a few new texts (reference, parties, claim); the table grows if there are more.
    SharedStringTable table(cases.size() * 4 + 16);
    SheetBuilder sheet(cases.size());

    sheet.beginRow(1);
    for (qsizetype column = 0; column < columnCount; ++column)
        sheet.addCell(column, table.intern(tableColumns.at(column)), '1');
    sheet.endRow();

    quint64 row = 2;
    for (const CourtCase &record : cases) {
        sheet.beginRow(row++);
        const std::array<const QString *, columnCount> fields = {
            &record.sygnatura,
            &record.sad,
            &record.wydzial,
            &record.przedmiot,
            &record.glownePodmioty,
            &record.referent,
            &record.dataWplywu,
            &record.dataZakonczenia,
            &record.status,
        };
        for (qsizetype column = 0; column < columnCount; ++column)
            sheet.addCell(column, table.intern(*fields[column]), '2');
        sheet.endRow();
    }
    table.releaseIndex();

    GeneratedParts parts;
    parts.sheet = sheet.finish();
    parts.sharedStrings
        = sharedStringsPart(table.strings(), quint64(columnCount) * quint64(cases.size() + 1));
    return parts;
}

QByteArray buildPackage(const QList<CourtCase> &cases)
{
    GeneratedParts parts = buildGeneratedParts(cases);

    ZipArchive archive;
    archive.addTextEntry("[Content_Types].xml", contentTypesXml);
    archive.addTextEntry("_rels/.rels", packageRelationshipsXml);
    archive.addTextEntry("xl/_rels/workbook.xml.rels", workbookRelationshipsXml);
    archive.addTextEntry("xl/workbook.xml", workbookXml);
    archive.addTextEntry("xl/sharedStrings.xml", view(parts.sharedStrings));
    archive.addTextEntry("xl/styles.xml", stylesXml);
    archive.addTextEntry("xl/worksheets/sheet1.xml", view(parts.sheet));
    archive.close();
    // The parts are copied into the archive; dropping them first keeps the peak near two workbooks.
    parts = {};
    return archive.data();
}

} // namespace

void writeXLSX(const QList<CourtCase> &cases, const QUrl &destination)
{
    const QByteArray package = buildPackage(cases);

    if (!destination.isLocalFile())
        throw ExcelError::writeFailed(u"To nie jest plik lokalny: "_s + destination.toString());
    // A temporary file beside the destination, renamed over it only when complete; left uncommitted,
    // it is removed with the object.
    QSaveFile file(destination.toLocalFile());
    // Unbuffered, so that a failed write shows here: commit() renames even when writing out the
    // buffer fails.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw ExcelError::writeFailed(file.errorString());
    // A short write reports no cause; writing the rest again fails and says why.
    for (qsizetype written = 0; written < package.size();) {
        const qint64 count = file.write(package.constData() + written, package.size() - written);
        if (count <= 0)
            throw ExcelError::writeFailed(file.errorString());
        written += qsizetype(count);
    }
    // Some file systems report a lack of space only when the data reach the disk.
    if (::fsync(file.handle()) != 0)
        throw ExcelError::writeFailed(qt_error_string(errno));
    if (!file.commit())
        throw ExcelError::writeFailed(file.errorString());
}
