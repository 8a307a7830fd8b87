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
        ResultsView { width: 950 }
    }
    Component {
        id: progressComponent
        ScrapeProgressView { width: 950 }
    }

    // A stand-in controller that records the file actions.
    Component {
        id: recorderComponent
        QtObject {
            property var progress
            property var calls: []
            function openOutputFile() { calls.push("open:" + objectName) }
            function showInFinder() { calls.push("show:" + objectName) }
            function startNewSearch() { calls.push("new:" + objectName) }
        }
    }

    property var viewModel: null
    property var made: []

    function init() {
        viewModel = TestSupport.createViewModel()
        viewModel.viewState = TestSupport.enumValue("results")
        viewModel.progress.phase = TestSupport.enumValue("done")
    }
    function cleanup() {
        H.destroyViews(testCase)
    }
    function recordFile() {
        viewModel.progress.outputFile = TestSupport.folderUrl("out") + "/wynik.xlsx"
    }

    // Status, count with its word, time, the table and the three buttons sharing their row.
    function test_texts() {
        TestSupport.fillCases(viewModel, 3)
        viewModel.progress.statusText = "Gotowe! Pobrano 3 spraw."
        recordFile()
        const view = H.makeView(testCase, viewComponent)
        H.verifyTexts(testCase, view, ["Portal Informacyjny", "Gotowe! Pobrano 3 spraw.", "3", "Sprawy", "Czas",
                                       "Otwórz plik", "Pokaż w Finderze", "Nowe wyszukiwanie", "Sygnatura", "Sąd",
                                       "Główne podmioty sprawy", "Data zakończenia", "I C 0/26", "I C 2/26", "©"])
        const buttons = ["openFileButton", "showInFinderButton", "newSearchButton"].map(name => findChild(view, name))
        tryVerify(() => buttons[0].width > 0)
        for (const button of buttons)
            fuzzyCompare(button.width, (950 - 72 - 16) / 3, 1)
    }

    // Without a file only "Nowe wyszukiwanie" is offered; a stopped run with a file offers the file too.
    function test_fileButtons() {
        viewModel.progress.statusText = "Brak wyników."
        const view = H.makeView(testCase, viewComponent)
        H.verifyTexts(testCase, view, ["Nowe wyszukiwanie"], ["Otwórz plik", "Pokaż w Finderze"])
        viewModel.progress.phase = TestSupport.enumValue("stopped")
        recordFile()
        H.verifyTexts(testCase, view, ["Nowe wyszukiwanie", "Otwórz plik", "Pokaż w Finderze"])
    }

    function test_figures_data() {
        const more = n => "... i " + n + " więcej (otwórz plik XLSX)"
        return [
            { tag: "0", n: 0, word: "Spraw", s: 0, time: "0:00", rows: 0, line: "", height: 0 },
            { tag: "1", n: 1, word: "Sprawa", s: 65, time: "1:05", rows: 1, line: "", height: 52 },
            { tag: "2", n: 2, word: "Sprawy", s: 3600, time: "60:00", rows: 2, line: "", height: null },
            { tag: "5", n: 5, word: "Spraw", s: 3725, time: "62:05", rows: 5, line: "", height: null },
            { tag: "12", n: 12, word: "Spraw", s: 0, time: "0:00", rows: 12, line: "", height: null },
            { tag: "16", n: 16, word: "Spraw", s: 0, time: "0:00", rows: 16, line: "", height: 382 },
            { tag: "17", n: 17, word: "Spraw", s: 0, time: "0:00", rows: 17, line: "", height: 400 },
            { tag: "22", n: 22, word: "Sprawy", s: 0, time: "0:00", rows: 22, line: "", height: 400 },
            { tag: "100", n: 100, word: "Spraw", s: 0, time: "0:00", rows: 100, line: "", height: 400 },
            { tag: "101", n: 101, word: "Spraw", s: 0, time: "0:00", rows: 100, line: more(1), height: 400 },
            { tag: "112", n: 112, word: "Spraw", s: 0, time: "0:00", rows: 100, line: more(12), height: 400 }
        ]
    }

    // The count is the length of the case list, not the record's count; at most the first 100 rows
    // are built, the overflow line counts the rest, and the table's height follows the rows.
    function test_figures(data) {
        viewModel.progress.recordCount = 7
        viewModel.progress.elapsedSeconds = data.s
        TestSupport.fillCases(viewModel, data.n)
        const view = H.makeView(testCase, viewComponent)
        const card = name => [findChild(view, name).value, findChild(view, name).label]
        compare([card("countCard"), card("timeCard")], [[String(data.n), data.word], [data.time, "Czas"]])
        const table = findChild(view, "casesTable")
        compare(table.visible, data.n > 0)
        if (data.n === 0)
            return
        compare(findChild(view, "caseRows").count, data.rows)
        compare(findChild(view, "caseRow" + (data.rows - 1)).cells[0], "I C " + (data.rows - 1) + "/26")
        const line = findChild(view, "overflowLine")
        compare(line.visible ? line.text : "", data.line)
        if (data.height !== null)
            tryCompare(table, "height", data.height)
    }

    // Odd rows take the window's background, even rows show the white card; long values wrap to two
    // lines and are cut at the end; the 1402 px wide rows scroll sideways, under scroll bars that lie
    // beside them inside the table.
    function test_rows() {
        const longText = "bardzo długi przedmiot sprawy ".repeat(12)
        for (const subject of [longText, "krótki", "krótki"])
            TestSupport.appendCase(viewModel, ["I C 1/26", "Sąd", "W", subject, "", "", "", "", ""])
        const view = H.makeView(testCase, viewComponent)
        const rows = [0, 1, 2].map(i => findChild(view, "caseRow" + i).color)
        compare(rows.map(c => c.a), [0, 1, 0])
        compare(String(rows[1]), "#f5f6f8")
        const cell = findChild(findChild(view, "caseRow0"), "cell3")
        compare(cell.text, longText)
        tryVerify(() => cell.truncated)
        compare(cell.lineCount, 2)
        compare(cell.width, ViewHelpers.tableColumnWidth("Przedmiot sprawy") + 8)
        const flick = findChild(view, "tableFlickable")
        compare(flick.contentWidth, 1402)
        verify(flick.width < 1402)
        const table = findChild(view, "casesTable")
        const bars = ["verticalScrollBar", "horizontalScrollBar"].map(name => findChild(table, name))
        const corners = bars.map(bar => [bar.mapToItem(flick, 0, 0), bar.mapToItem(table, bar.width, bar.height)])
        verify(corners[0][0].x >= flick.width && corners[0][1].x <= table.width, JSON.stringify(corners[0]))
        verify(corners[1][0].y >= flick.height && corners[1][1].y <= table.height, JSON.stringify(corners[1]))
    }

    // Each button calls its action on the controller current at the press, not the one at build time.
    function test_buttonsReadControllerAtPress() {
        recordFile()
        const first = createTemporaryObject(recorderComponent, testCase, { objectName: "first", progress: viewModel.progress })
        const second = createTemporaryObject(recorderComponent, testCase, { objectName: "second", progress: viewModel.progress })
        const view = H.makeView(testCase, viewComponent, first)
        view.viewModel = second
        mouseClick(findChild(view, "openFileButton"))
        mouseClick(findChild(view, "showInFinderButton"))
        mouseClick(findChild(view, "newSearchButton"))
        compare(second.calls, ["open:second", "show:second", "new:second"])
        compare(first.calls, [])
    }

    function test_returnToForm_data() {
        return [
            { tag: "Wróć after a failure", screen: progressComponent, phase: "error", button: "backButton" },
            { tag: "Nowe wyszukiwanie", screen: viewComponent, phase: "done", button: "newSearchButton" }
        ]
    }

    // Both ways back give a new record, no cases, no keys and the form; the form's values stay
    // and the screen follows the new record at once.
    function test_returnToForm(data) {
        viewModel.login = "jan"
        viewModel.selectedApelacja = "Apelacja gdańska"
        H.setFilters(viewModel, ["W toku", "", "", "Nowak", ""])
        TestSupport.fillCases(viewModel, 5)
        TestSupport.setSeenKeys(viewModel, ["a|b"])
        const oldProgress = viewModel.progress
        oldProgress.phase = TestSupport.enumValue(data.phase)
        oldProgress.recordCount = 5
        const view = H.makeView(testCase, data.screen)
        mouseClick(findChild(view, data.button))
        verify(viewModel.progress !== oldProgress)
        compare([viewModel.progress.phase, viewModel.caseCount, TestSupport.seenKeyCount(viewModel), viewModel.viewState],
                [TestSupport.enumValue("idle"), 0, 0, TestSupport.enumValue("login")])
        compare([viewModel.login, viewModel.selectedApelacja], ["jan", "Apelacja gdańska"])
        compare(H.filters(viewModel), ["W toku", "", "", "Nowak", ""])
        compare(findChild(view, "countCard").value, "0")
    }
}
