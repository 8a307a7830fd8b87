// Writes 100,000 realistic cases with writeXLSX() and, as the reference peer, with libxlsxwriter;
// prints both times, their ratio and the peak memory each needs on top of its input.

#include "export/xlsxwriter.h"
#include "portal/courtcase.h"

#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <map>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int caseCount = 100000;

const QStringList courts = {
    u"Sąd Rejonowy w Łodzi"_s,
    u"Sąd Rejonowy dla Wrocławia-Fabrycznej"_s,
    u"Sąd Okręgowy w Poznaniu"_s,
    u"Sąd Rejonowy w Gdańsku"_s,
    u"Sąd Rejonowy dla Krakowa-Śródmieścia"_s,
    u"Sąd Okręgowy w Białymstoku"_s,
    u"Sąd Rejonowy w Rzeszowie"_s,
    u"Sąd Rejonowy w Szczecinie"_s,
    u"Sąd Okręgowy w Katowicach"_s,
    u"Sąd Rejonowy w Lublinie"_s,
    u"Sąd Rejonowy w Zielonej Górze"_s,
    u"Sąd Okręgowy w Częstochowie"_s,
    u"Sąd Rejonowy w Łowiczu"_s,
    u"Sąd Rejonowy w Świdnicy"_s,
    u"Sąd Okręgowy w Elblągu"_s,
    u"Sąd Rejonowy w Żyrardowie"_s,
    u"Sąd Rejonowy w Ełku"_s,
    u"Sąd Okręgowy w Gliwicach"_s,
    u"Sąd Apelacyjny we Wrocławiu"_s,
    u"Sąd Apelacyjny w Warszawie"_s,
};
const QStringList divisions = {
    u"I Wydział Cywilny"_s,
    u"II Wydział Karny"_s,
    u"III Wydział Rodzinny i Nieletnich"_s,
    u"IV Wydział Pracy i Ubezpieczeń Społecznych"_s,
    u"V Wydział Gospodarczy"_s,
    u"VI Wydział Ksiąg Wieczystych"_s,
    u"VII Wydział Egzekucyjny"_s,
    u"VIII Wydział Odwoławczy"_s,
};
const QStringList statuses = { u"W toku"_s, u"Zakończona"_s, u"Zawieszona"_s, u"Umorzona"_s };
const QStringList subjects = { u"o zapłatę"_s, u"o rozwód"_s, u"o alimenty"_s, u"o eksmisję"_s,
    u"o zasiedzenie"_s, u"o ochronę dóbr osobistych"_s, u"o podział majątku"_s };
const QStringList firstNames = { u"Jan"_s, u"Łukasz"_s, u"Małgorzata"_s, u"Zofia"_s, u"Grzegorz"_s,
    u"Józef"_s, u"Agnieszka"_s, u"Paweł"_s, u"Żaneta"_s, u"Ścibor"_s, u"Bożena"_s, u"Krzysztof"_s };
const QStringList lastNames = { u"Kowalski"_s, u"Nowak"_s, u"Wiśniewska"_s, u"Wójcik"_s, u"Kamińska"_s,
    u"Lewandowski"_s, u"Zieliński"_s, u"Szymańska"_s, u"Woźniak"_s, u"Dąbrowski"_s, u"Kozłowska"_s,
    u"Jankowski"_s, u"Mazur"_s, u"Kwiatkowski"_s, u"Krawczyk"_s, u"Piotrowska"_s, u"Grabowski"_s,
    u"Nowakowska"_s, u"Pawłowski"_s, u"Michalska"_s };
const QStringList romans = { u"I"_s, u"II"_s, u"III"_s, u"IV"_s, u"V"_s, u"VI"_s, u"VII"_s, u"VIII"_s };
const QStringList repertories = { u"C"_s, u"K"_s, u"Ns"_s, u"RC"_s, u"GC"_s, u"P"_s, u"Ca"_s, u"Co"_s };

QString pick(std::mt19937 &random, const QStringList &list)
{
    return list.at(qsizetype(random() % quint32(list.size())));
}

QString date(std::mt19937 &random)
{
    const QDate day = QDate(2019, 1, 1).addDays(random() % 2000);
    return day.toString(u"yyyy-MM-dd"_s);
}

// Case references, parties and claims are mostly unique; courts, divisions, dates, statuses repeat.
QList<CourtCase> makeCases()
{
    std::mt19937 random(42);
    QList<CourtCase> cases;
    cases.reserve(caseCount);
    for (int i = 0; i < caseCount; ++i) {
        const QString status = pick(random, statuses);
        const QString person = pick(random, firstNames) + u' ' + pick(random, lastNames);
        cases.append(CourtCase({
            u"%1 %2 %3/%4"_s.arg(pick(random, romans), pick(random, repertories))
                .arg(i + 1)
                .arg(19 + random() % 6),
            pick(random, courts),
            pick(random, divisions),
            pick(random, subjects)
                + u" kwoty %1,%2 zł"_s.arg(random() % 90000 + 100).arg(random() % 100, 2, 10, QChar(u'0')),
            person + u" przeciwko "_s + pick(random, lastNames) + u" sp. z o.o. (KRS "_s
                + QString::number(random() % 1000000) + u')',
            u"SSR "_s + pick(random, firstNames) + u' ' + pick(random, lastNames),
            date(random),
            status == u"W toku"_s ? QString() : date(random),
            status,
        }));
    }
    return cases;
}

const QList<CourtCase> &benchCases()
{
    static const QList<CourtCase> cases = makeCases();
    return cases;
}

double repeatedShare(const QList<CourtCase> &cases)
{
    QSet<QString> seen;
    qint64 repeated = 0;
    qint64 total = 0;
    for (const CourtCase &record : cases) {
        for (const QString &text : record.columnValues()) {
            ++total;
            if (seen.contains(text))
                ++repeated;
            else
                seen.insert(text);
        }
    }
    return double(repeated) / double(total);
}

using Utf8Row = std::array<std::string, 9>;

// The peer takes C strings; encoding them is kept out of its timing, which only favours the peer.
const std::vector<Utf8Row> &benchRowsUtf8()
{
    static const std::vector<Utf8Row> rows = [] {
        std::vector<Utf8Row> result;
        result.reserve(caseCount);
        for (const CourtCase &record : benchCases()) {
            Utf8Row row;
            const QStringList values = record.columnValues();
            for (int k = 0; k < 9; ++k)
                row[k] = values.at(k).toStdString();
            result.push_back(std::move(row));
        }
        return result;
    }();
    return rows;
}

void writeWithVelmoria(const QString &path) { writeXLSX(benchCases(), QUrl::fromLocalFile(path)); }

void writeWithPeer(const QString &path)
{
    lxw_workbook *workbook = workbook_new(path.toLocal8Bit().constData());
    if (!workbook) {
        std::fprintf(stderr, "libxlsxwriter could not start a workbook\n");
        return;
    }
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, "Sprawy");
    lxw_format *header = workbook_add_format(workbook);
    format_set_bold(header);
    format_set_font_color(header, 0xFFFFFF);
    format_set_pattern(header, LXW_PATTERN_SOLID);
    format_set_bg_color(header, 0x1F4E79);
    format_set_border(header, LXW_BORDER_THIN);
    format_set_align(header, LXW_ALIGN_CENTER);
    format_set_align(header, LXW_ALIGN_VERTICAL_CENTER);
    format_set_text_wrap(header);
    lxw_format *data = workbook_add_format(workbook);
    format_set_border(data, LXW_BORDER_THIN);
    format_set_align(data, LXW_ALIGN_VERTICAL_TOP);
    format_set_text_wrap(data);

    constexpr double widths[9] = { 16, 22, 22, 28, 28, 18, 14, 14, 14 };
    for (lxw_col_t column = 0; column < 9; ++column)
        worksheet_set_column(sheet, column, column, widths[column], nullptr);
    worksheet_freeze_panes(sheet, 1, 0);
    for (lxw_col_t column = 0; column < 9; ++column)
        worksheet_write_string(sheet, 0, column, tableColumns.at(column).toStdString().c_str(), header);
    lxw_row_t row = 1;
    for (const Utf8Row &values : benchRowsUtf8()) {
        for (lxw_col_t column = 0; column < 9; ++column)
            worksheet_write_string(sheet, row, column, values[column].c_str(), data);
        ++row;
    }
    if (workbook_close(workbook) != LXW_NO_ERROR)
        std::fprintf(stderr, "libxlsxwriter failed\n");
}

QTemporaryDir &outputDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString velmoriaPath() { return outputDir().filePath(u"velmoria.xlsx"_s); }
QString peerPath() { return outputDir().filePath(u"peer.xlsx"_s); }

void BM_velmoriaWriteXLSX(benchmark::State &state)
{
    benchCases();
    for (auto _ : state)
        writeWithVelmoria(velmoriaPath());
    state.counters["cases"] = caseCount;
}

void BM_libxlsxwriterPeer(benchmark::State &state)
{
    benchRowsUtf8();
    for (auto _ : state)
        writeWithPeer(peerPath());
    state.counters["cases"] = caseCount;
}

BENCHMARK(BM_velmoriaWriteXLSX)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_libxlsxwriterPeer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// Mean wall time per run, by benchmark name, as the console reporter prints it.
class RecordingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration)
                meanMilliseconds[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> meanMilliseconds;
};

long statusField(const char *name)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(name) + ':';
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    }
    return -1;
}

/**
 * Peak memory (KiB) that @p work needs beyond what the process already holds. It runs in a forked child,
 * so neither writer inherits the other's freed heap; there the high-water mark is reset to the current
 * resident size (clear_refs 5), and the result is VmHWM after the work minus VmRSS before it.
 * The inherited input (the cases) is resident in both readings and so is not counted.
 * main() measures before the timed runs, whose freed heap would otherwise be inherited.
 */
long extraPeakKiB(const std::function<void()> &work)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        long result = -1;
        // Free heap left by earlier work would be reused unseen; hand it back first.
        malloc_trim(0);
        if (std::ofstream("/proc/self/clear_refs") << "5") {
            const long before = statusField("VmRSS");
            work();
            result = statusField("VmHWM") - before;
        }
        [[maybe_unused]] const auto written = write(fds[1], &result, sizeof result);
        _exit(0);
    }
    close(fds[1]);
    long result = -1;
    if (read(fds[0], &result, sizeof result) != sizeof result)
        result = -1;
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    std::printf("%d cases, %.1f %% of the values repeat an earlier one\n", caseCount,
        100.0 * repeatedShare(benchCases()));
    benchRowsUtf8();
    const long ourPeak = extraPeakKiB([] { writeWithVelmoria(velmoriaPath()); });
    const long peerPeak = extraPeakKiB([] { writeWithPeer(peerPath()); });

    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double ourSize = double(QFileInfo(velmoriaPath()).size()) / 1024.0;
    const double peerSize = double(QFileInfo(peerPath()).size()) / 1024.0;

    const double ours = reporter.meanMilliseconds["BM_velmoriaWriteXLSX"];
    const double peer = reporter.meanMilliseconds["BM_libxlsxwriterPeer"];
    std::printf("\nwriteXLSX:     %9.1f ms  peak +%8.1f MiB  workbook %8.1f MiB\n", ours, ourPeak / 1024.0,
        ourSize / 1024.0);
    std::printf("libxlsxwriter: %9.1f ms  peak +%8.1f MiB  workbook %8.1f MiB\n", peer, peerPeak / 1024.0,
        peerSize / 1024.0);
    if (ours > 0 && peer > 0) {
        std::printf("speed: writeXLSX is %.2fx the peer's (target at least 2x): %s\n", peer / ours,
            peer / ours >= 2.0 ? "met" : "missed");
    }
    if (ourPeak > 0 && ourSize > 0) {
        std::printf("memory: writeXLSX peak is %.2fx its workbook (target at most 3x): %s\n",
            ourPeak / ourSize, ourPeak / ourSize <= 3.0 ? "met" : "missed");
    }
    return 0;
}
