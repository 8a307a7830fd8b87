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
        ScrapeProgressView { width: 950 }
    }

    // A stand-in controller that records the actions the buttons call.
    Component {
        id: recorderComponent
        QtObject {
            property var progress
            property var calls: []
            function stopScraping() { calls.push("stop") }
            function returnToForm() { calls.push("back") }
        }
    }

    property var viewModel: null
    property var made: []

    function init() {
        viewModel = TestSupport.createViewModel()
    }
    function cleanup() {
        H.destroyViews(testCase)
    }

    // Right after a start: status, empty bar, 0%, 0 Spraw, the dash page, 0:00, Zatrzymaj.
    function test_startState() {
        viewModel.progress.phase = TestSupport.enumValue("launching")
        viewModel.progress.statusText = "Uruchamianie..."
        const view = H.makeView(testCase, viewComponent)
        H.verifyTexts(testCase, view, ["Portal Informacyjny", "Sądów Powszechnych", "Uruchamianie...", "0%", "0",
                                       "Spraw", "\u2014", "Strona", "0:00", "Czas", "Zatrzymaj", "©"], ["Wróć"])
        verify(!findChild(view, "errorLine").visible)
        compare(findChild(view, "progressBar").position, 0)
    }

    function test_figures_data() {
        return [
            { tag: "0", n: 0, word: "Spraw", s: 0, time: "0:00", value: 0.25, percent: "25%" },
            { tag: "1", n: 1, word: "Sprawa", s: 59, time: "0:59", value: 0.95, percent: "95%" },
            { tag: "2", n: 2, word: "Sprawy", s: 60, time: "1:00", value: 1.0, percent: "100%" },
            { tag: "4", n: 4, word: "Sprawy", s: 65, time: "1:05", value: 0.3 + 0.6, percent: "89%" },
            { tag: "5", n: 5, word: "Spraw", s: 605, time: "10:05", value: 1.2, percent: "120%" },
            { tag: "12", n: 12, word: "Spraw", s: 3600, time: "60:00", value: 0.5, percent: "50%" },
            { tag: "14", n: 14, word: "Spraw", s: 3725, time: "62:05", value: 0.3, percent: "30%" },
            { tag: "21", n: 21, word: "Spraw", s: 1, time: "0:01", value: 0, percent: "0%" },
            { tag: "22", n: 22, word: "Sprawy", s: 0, time: "0:00", value: 0, percent: "0%" },
            { tag: "112", n: 112, word: "Spraw", s: 0, time: "0:00", value: 0, percent: "0%" },
            { tag: "1003", n: 1003, word: "Sprawy", s: 0, time: "0:00", value: 0, percent: "0%" }
        ]
    }

    // The cards follow the record: count with its plural word, page, minutes and seconds; the
    // percentage truncates and may pass 100 while the bar stays full.
    function test_figures(data) {
        const view = H.makeView(testCase, viewComponent)
        const progress = viewModel.progress
        progress.recordCount = data.n
        progress.elapsedSeconds = data.s
        progress.progressValue = data.value
        progress.pageInfo = data.n + " / 2000"
        const card = name => [findChild(view, name).value, findChild(view, name).label]
        compare([card("countCard"), card("pageCard"), card("timeCard")],
                [[String(data.n), data.word], [data.n + " / 2000", "Strona"], [data.time, "Czas"]])
        compare(findChild(view, "percentText").text, data.percent)
        compare(findChild(view, "progressBar").position, Math.min(data.value, 1))
    }

    function test_button_data() {
        let rows = ["idle", "launching", "loggingIn", "selectingApelacja", "navigating", "filtering", "scraping",
                    "saving", "done", "stopped"].map(phase => ({ tag: phase, phase: phase, title: "Zatrzymaj" }))
        rows.push({ tag: "error", phase: "error", title: "Wróć" })
        rows.push({ tag: "error with message", phase: "error", message: "Nie znaleziono elementu.", title: "Wróć" })
        rows.push({ tag: "message while running", phase: "scraping", message: "Uwaga", title: "Zatrzymaj" })
        return rows
    }

    // "Wróć" only after a failure, "Zatrzymaj" in every other phase, each calling its own action; the
    // error line depends only on the message and makes the screen taller by its own line.
    function test_button(data) {
        const recorder = createTemporaryObject(recorderComponent, testCase, { progress: viewModel.progress })
        const view = H.makeView(testCase, viewComponent, recorder)
        const before = view.implicitHeight
        viewModel.progress.phase = TestSupport.enumValue(data.phase)
        if (data.message)
            TestSupport.setErrorMessage(viewModel.progress, data.message)
        const back = data.title === "Wróć"
        H.verifyTexts(testCase, view, [data.title], [back ? "Zatrzymaj" : "Wróć"])
        const line = findChild(view, "errorLine")
        compare(line.visible, data.message !== undefined)
        if (data.message) {
            compare(line.text, data.message)
            tryVerify(() => view.implicitHeight > before)
            TestSupport.setErrorMessage(viewModel.progress, null)
        }
        tryCompare(view, "implicitHeight", before)
        mouseClick(findChild(view, back ? "backButton" : "stopButton"))
        compare(recorder.calls, [back ? "back" : "stop"])
    }
}
