import QtQuick
import QtTest
import Velmoria
import VelmoriaTest
import "helpers.js" as H

TestCase {
    id: testCase
    name: "ProgressView"
    width: 950
    height: 600
    visible: true
    when: windowShown

    Component {
        id: viewComponent
        ScrapeProgressView {
            width: 950
        }
    }

    // A stand-in that records which controller action ran.
    Component {
        id: recorderComponent
        QtObject {
            property var progress: realProgress
            property var realProgress
            property int stopCalls: 0
            function stopScraping() { stopCalls++ }
        }
    }

    property var viewModel: null

    function init() {
        viewModel = TestSupport.createViewModel()
    }
    // Views go before their controller.
    function cleanup() {
        for (const item of made)
            item.destroy()
        made = []
        viewModel.destroy()
        viewModel = null
    }

    property var made: []
    function makeView(controller) {
        const view = viewComponent.createObject(testCase, { viewModel: controller || viewModel })
        verify(view)
        made.push(view)
        return view
    }

    // Right after a start: status, empty bar, 0%, 0 Spraw, the dash page, 0:00, Zatrzymaj.
    function test_startState() {
        viewModel.progress.phase = TestSupport.phase("launching")
        viewModel.progress.statusText = "Uruchamianie..."
        const view = makeView()
        const texts = H.visibleTexts(view)
        for (const expected of ["Portal Informacyjny", "Sądów Powszechnych", "Uruchamianie...", "0%", "0", "Spraw",
                                "\u2014", "Strona", "0:00", "Czas", "Zatrzymaj"])
            verify(texts.indexOf(expected) >= 0, "missing " + expected + " in " + JSON.stringify(texts))
        verify(texts.indexOf("Wróć") < 0)
        verify(!findChild(view, "errorLine").visible)
        compare(findChild(view, "progressBar").position, 0)
    }

    function test_plural_data() {
        return [
            { tag: "0", n: 0, word: "Spraw" }, { tag: "1", n: 1, word: "Sprawa" },
            { tag: "2", n: 2, word: "Sprawy" }, { tag: "5", n: 5, word: "Spraw" },
            { tag: "12", n: 12, word: "Spraw" }, { tag: "22", n: 22, word: "Sprawy" },
            { tag: "112", n: 112, word: "Spraw" }, { tag: "1003", n: 1003, word: "Sprawy" }
        ]
    }

    // The count card shows the number and its plural word, and follows the record.
    function test_plural(data) {
        const view = makeView()
        viewModel.progress.recordCount = data.n
        const card = findChild(view, "countCard")
        compare(card.value, String(data.n))
        compare(card.label, data.word)
    }

    function test_time_data() {
        return [
            { tag: "0", s: 0, text: "0:00" }, { tag: "65", s: 65, text: "1:05" },
            { tag: "3600", s: 3600, text: "60:00" }, { tag: "3725", s: 3725, text: "62:05" }
        ]
    }

    function test_time(data) {
        const view = makeView()
        viewModel.progress.elapsedSeconds = data.s
        compare(findChild(view, "timeCard").value, data.text)
    }

    // The percentage truncates; above 1 it reads past 100 while the bar stays full.
    function test_percentage() {
        const view = makeView()
        viewModel.progress.progressValue = 0.3 + 0.6
        compare(findChild(view, "percentText").text, "89%")
        viewModel.progress.progressValue = 1.2
        compare(findChild(view, "percentText").text, "120%")
        compare(findChild(view, "progressBar").position, 1)
    }

    function test_pageCard() {
        const view = makeView()
        viewModel.progress.pageInfo = "3 / 12"
        compare(findChild(view, "pageCard").value, "3 / 12")
    }

    function test_button_data() {
        let rows = []
        for (const phase of ["idle", "launching", "loggingIn", "selectingApelacja", "navigating", "filtering",
                             "scraping", "saving", "done", "stopped"])
            rows.push({ tag: phase, phase: phase, title: "Zatrzymaj" })
        rows.push({ tag: "error", phase: "error", title: "Wróć" })
        return rows
    }

    // "Wróć" only after a failure, "Zatrzymaj" in every other phase.
    function test_button(data) {
        const view = makeView()
        viewModel.progress.phase = TestSupport.phase(data.phase)
        const texts = H.visibleTexts(view)
        verify(texts.indexOf(data.title) >= 0, data.title)
        verify(texts.indexOf(data.title === "Wróć" ? "Zatrzymaj" : "Wróć") < 0)
    }

    // The error line depends only on the message, the button only on the phase.
    function test_errorLine() {
        const view = makeView()
        const line = findChild(view, "errorLine")
        const before = view.implicitHeight
        TestSupport.setErrorMessage(viewModel.progress, "Nie znaleziono elementu.")
        verify(line.visible)
        compare(line.text, "Nie znaleziono elementu.")
        tryVerify(() => view.implicitHeight > before)
        verify(H.visibleTexts(view).indexOf("Zatrzymaj") >= 0)
        TestSupport.clearErrorMessage(viewModel.progress)
        verify(!line.visible)
        tryCompare(view, "implicitHeight", before)
    }

    // "Zatrzymaj" calls the controller's stop action.
    function test_stopCallsController() {
        const recorder = createTemporaryObject(recorderComponent, testCase, { realProgress: viewModel.progress })
        viewModel.progress.phase = TestSupport.phase("scraping")
        const view = makeView(recorder)
        const button = findChild(view, "stopButton")
        mouseClick(button)
        compare(recorder.stopCalls, 1)
    }

    // "Wróć" gives a new record, no cases, no keys and the form; the form's values stay.
    function test_backResets() {
        viewModel.login = "jan"
        viewModel.selectedApelacja = "Apelacja gdańska"
        TestSupport.fillCases(viewModel, 3)
        TestSupport.setSeenKeys(viewModel, ["a|b", "c|d"])
        viewModel.viewState = TestSupport.viewState("progress")
        const oldProgress = viewModel.progress
        oldProgress.phase = TestSupport.phase("error")
        oldProgress.recordCount = 3
        TestSupport.setErrorMessage(oldProgress, "Logowanie nie powiodło się.")
        const view = makeView()
        mouseClick(findChild(view, "backButton"))
        verify(viewModel.progress !== oldProgress)
        compare(viewModel.progress.phase, TestSupport.phase("idle"))
        compare(viewModel.progress.recordCount, 0)
        compare(viewModel.caseCount, 0)
        compare(TestSupport.seenKeyCount(viewModel), 0)
        compare(viewModel.viewState, TestSupport.viewState("login"))
        compare(viewModel.login, "jan")
        compare(viewModel.selectedApelacja, "Apelacja gdańska")
        // The screen follows the new record at once.
        compare(findChild(view, "countCard").value, "0")
    }
}
