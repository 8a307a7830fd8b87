import QtQuick
import QtTest
import Velmoria
import VelmoriaTest
import "helpers.js" as H

TestCase {
    id: testCase
    name: "ResultsView"
    width: 950
    height: 900
    visible: true
    when: windowShown

    Component {
        id: viewComponent
        ResultsView {
            width: 950
        }
    }

    // Stand-in controllers that record the file actions.
    Component {
        id: recorderComponent
        QtObject {
            property var progress
            property var cases: []
            property var calls: []
            function openOutputFile() { calls.push("open:" + objectName) }
            function showInFinder() { calls.push("show:" + objectName) }
        }
    }

    property var viewModel: null
    property var made: []

    function init() {
        viewModel = TestSupport.createViewModel()
        viewModel.viewState = TestSupport.viewState("results")
        viewModel.progress.phase = TestSupport.phase("done")
    }
    function cleanup() {
        for (const item of made)
            item.destroy()
        made = []
        viewModel.destroy()
        viewModel = null
    }
    function makeView(controller) {
        const view = viewComponent.createObject(testCase, { viewModel: controller || viewModel })
        verify(view)
        made.push(view)
        return view
    }
    function rowsShown(view) {
        return findChild(view, "caseRows").count
    }

    // Status, count with its word, time, and the three buttons when a file is recorded.
    function test_texts() {
        TestSupport.fillCases(viewModel, 3)
        viewModel.progress.statusText = "Gotowe! Pobrano 3 spraw."
        viewModel.progress.elapsedSeconds = 65
        viewModel.progress.outputFile = TestSupport.folderUrl("out") + "/wynik.xlsx"
        const view = makeView()
        const texts = H.visibleTexts(view)
        // The three buttons share their row equally.
        const open = findChild(view, "openFileButton")
        const show = findChild(view, "showInFinderButton")
        const again = findChild(view, "newSearchButton")
        tryVerify(() => open.width > 0)
        fuzzyCompare(open.width, show.width, 1)
        fuzzyCompare(show.width, again.width, 1)
        fuzzyCompare(open.width + show.width + again.width + 16, 950 - 72, 2)
        for (const expected of ["Portal Informacyjny", "Gotowe! Pobrano 3 spraw.", "3", "Sprawy", "1:05", "Czas",
                                "Otwórz plik", "Pokaż w Finderze", "Nowe wyszukiwanie", "Sygnatura", "Sąd",
                                "Główne podmioty sprawy", "Data zakończenia", "I C 0/26", "I C 2/26"])
            verify(texts.indexOf(expected) >= 0, "missing " + expected)
    }

    // Without a file only "Nowe wyszukiwanie" is offered; without cases there is no table.
    function test_noCasesNoFile() {
        viewModel.progress.statusText = "Brak wyników."
        const view = makeView()
        const texts = H.visibleTexts(view)
        verify(texts.indexOf("Nowe wyszukiwanie") >= 0)
        verify(texts.indexOf("Otwórz plik") < 0)
        verify(texts.indexOf("Pokaż w Finderze") < 0)
        verify(!findChild(view, "casesTable").visible)
        compare(findChild(view, "countCard").value, "0")
        compare(findChild(view, "countCard").label, "Spraw")
    }

    function test_plural_data() {
        return [
            { tag: "0", n: 0, word: "Spraw" }, { tag: "1", n: 1, word: "Sprawa" }, { tag: "2", n: 2, word: "Sprawy" },
            { tag: "5", n: 5, word: "Spraw" }, { tag: "12", n: 12, word: "Spraw" }, { tag: "22", n: 22, word: "Sprawy" },
            { tag: "112", n: 112, word: "Spraw" }
        ]
    }

    // The count is the length of the case list, not the record's count.
    function test_plural(data) {
        viewModel.progress.recordCount = 7
        TestSupport.fillCases(viewModel, data.n)
        const card = findChild(makeView(), "countCard")
        compare(card.value, String(data.n))
        compare(card.label, data.word)
    }

    function test_time_data() {
        return [{ tag: "0", s: 0, text: "0:00" }, { tag: "65", s: 65, text: "1:05" }, { tag: "3600", s: 3600, text: "60:00" }]
    }

    function test_time(data) {
        viewModel.progress.elapsedSeconds = data.s
        compare(findChild(makeView(), "timeCard").value, data.text)
    }

    function test_cap_data() {
        return [
            { tag: "1", n: 1, rows: 1, line: "", height: 52 },
            { tag: "16", n: 16, rows: 16, line: "", height: 382 },
            { tag: "100", n: 100, rows: 100, line: "", height: 400 },
            { tag: "101", n: 101, rows: 100, line: "... i 1 więcej (otwórz plik XLSX)", height: 400 },
            { tag: "250", n: 250, rows: 100, line: "... i 150 więcej (otwórz plik XLSX)", height: 400 }
        ]
    }

    // At most 100 rows; the overflow line counts the rest; the table's height follows the rows.
    function test_cap(data) {
        TestSupport.fillCases(viewModel, data.n)
        const view = makeView()
        compare(rowsShown(view), data.rows)
        const line = findChild(view, "overflowLine")
        compare(line.visible, data.line !== "")
        if (data.line !== "")
            compare(line.text, data.line)
        tryCompare(findChild(view, "casesTable"), "height", data.height)
        compare(findChild(view, "caseRow" + (data.rows - 1)).cells[0], "I C " + (data.rows - 1) + "/26")
    }

    // Odd rows take the window's background, even rows show the white card.
    function test_alternatingRows() {
        TestSupport.fillCases(viewModel, 4)
        const view = makeView()
        compare(String(findChild(view, "caseRow0").color), String(Qt.rgba(0, 0, 0, 0)))
        compare(String(findChild(view, "caseRow1").color), String(Theme.appBackground))
        compare(String(findChild(view, "caseRow3").color), String(Theme.appBackground))
        compare(String(Theme.appBackground), "#f5f6f8")
    }

    // Long values wrap to two lines and are cut at the end; the table scrolls both ways.
    function test_longCellsAndScrolling() {
        const longText = "bardzo długi przedmiot sprawy ".repeat(12)
        TestSupport.appendCase(viewModel, ["I C 1/26", "Sąd", "W", longText, "", "", "", "", ""])
        const view = makeView()
        const row = findChild(view, "caseRow0")
        const cell = H.findText(row, longText)
        verify(cell)
        tryVerify(() => cell.truncated)
        compare(cell.lineCount, 2)
        compare(cell.width, ViewHelpers.tableColumnWidth("Przedmiot sprawy") + 8)
        const flick = findChild(view, "tableFlickable")
        verify(flick.contentWidth > flick.width)
        compare(flick.contentWidth, 1402)
    }

    // Each file button calls the controller current at the press, not the one at build time.
    function test_fileButtonsReadControllerAtPress() {
        const first = createTemporaryObject(recorderComponent, testCase, { objectName: "first", progress: viewModel.progress })
        const second = createTemporaryObject(recorderComponent, testCase, { objectName: "second", progress: viewModel.progress })
        viewModel.progress.outputFile = TestSupport.folderUrl("out") + "/wynik.xlsx"
        const view = makeView(first)
        view.viewModel = second
        mouseClick(findChild(view, "openFileButton"))
        mouseClick(findChild(view, "showInFinderButton"))
        compare(second.calls, ["open:second", "show:second"])
        compare(first.calls, [])
    }

    // "Nowe wyszukiwanie" clears the run and returns to the form, keeping the form's values.
    function test_newSearchResets() {
        viewModel.login = "jan"
        TestSupport.setFilters(viewModel, "W toku", "", "", "Nowak", "")
        TestSupport.fillCases(viewModel, 5)
        TestSupport.setSeenKeys(viewModel, ["a|b"])
        const oldProgress = viewModel.progress
        const view = makeView()
        mouseClick(findChild(view, "newSearchButton"))
        verify(viewModel.progress !== oldProgress)
        compare(viewModel.progress.phase, TestSupport.phase("idle"))
        compare(viewModel.caseCount, 0)
        compare(TestSupport.seenKeyCount(viewModel), 0)
        compare(viewModel.viewState, TestSupport.viewState("login"))
        compare(viewModel.login, "jan")
        compare(TestSupport.filters(viewModel), ["W toku", "", "", "Nowak", ""])
    }
}
