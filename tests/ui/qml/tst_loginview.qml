import QtQuick
import QtTest
import Velmoria
import VelmoriaTest
import "helpers.js" as H

TestCase {
    id: testCase
    name: "LoginView"
    width: 950
    height: 600
    visible: true
    when: windowShown

    Component {
        id: viewComponent
        LoginView { width: 950 }
    }

    property var viewModel: null
    property var made: []

    function init() {
        viewModel = TestSupport.createViewModel()
        viewModel.login = ""
        viewModel.password = ""
    }
    function cleanup() {
        H.destroyViews(testCase)
    }
    function makeView() {
        const view = H.makeView(testCase, viewComponent)
        // The controller's hidden web window may have taken activation; keys go to the active window.
        view.Window.window.requestActivate()
        tryVerify(() => view.Window.window.active)
        waitForRendering(view)
        return view
    }

    // The form's captions, titles and buttons are all there; only the dates have a placeholder.
    function test_texts() {
        const view = makeView()
        H.verifyTexts(testCase, view, ["Portal Informacyjny", "Sądów Powszechnych", "Logowanie", "Login", "Hasło",
                                       "Apelacja", "Filtry", "Status", "Data od", "Data do", "Podmiot", "Przedmiot",
                                       "Folder zapisu:", "Zmień", "Rozpocznij pobieranie", "©", "Tor", "bun"])
        const placeholders = ["loginField", "passwordField", "dataOdField", "dataDoField", "podmiotField",
                              "przedmiotField"].map(name => findChild(view, name).placeholderText)
        compare(placeholders, ["", "", "RRRR-MM-DD", "RRRR-MM-DD", "", ""])
    }

    // Typing into each field writes the controller, the password masked; a long folder path is
    // elided in the middle with "Zmień" kept at the right edge.
    function test_typingAndFolderPath() {
        const view = makeView()
        const typed = [["loginField", "jan.kowalski"], ["passwordField", "tajne1"], ["podmiotField", "Nowak"],
                       ["przedmiotField", "zaplata"], ["dataOdField", "2026-01-01"], ["dataDoField", "jutro"]]
        for (const [name, text] of typed) {
            mouseClick(findChild(view, name))
            for (const c of text)
                keyClick(c)
        }
        compare([viewModel.login, viewModel.password], ["jan.kowalski", "tajne1"])
        compare(H.filters(viewModel), ["Wszystkie", "2026-01-01", "jutro", "Nowak", "zaplata"])
        verify(findChild(view, "passwordField").displayText !== "tajne1")

        const longName = "bardzo-dluga-nazwa-folderu-".repeat(8)
        viewModel.outputDirectory = TestSupport.folderUrl(longName)
        const path = findChild(view, "folderPath")
        verify(path.text.endsWith("/velmoria-ui-test/" + longName))
        tryVerify(() => path.truncated)
        compare(path.elide, Text.ElideMiddle)
        const button = findChild(view, "changeFolderButton")
        fuzzyCompare(button.mapToItem(view, button.width, 0).x, 950 - 40, 1)
    }

    // The region picker lists the eleven names in order; a restored region outside the list is shown
    // unchanged; the status picker stores its text.
    function test_pickers() {
        viewModel.selectedApelacja = "Apelacja nieznana"
        const view = makeView()
        const picker = findChild(view, "apelacjaPicker")
        compare(picker.displayText, "Apelacja nieznana")
        compare([picker.count, picker.textAt(4), picker.textAt(5), picker.textAt(10)],
                [11, "Apelacja lubelska", "Apelacja łódzka", "Apelacja wrocławska"])
        findChild(view, "statusPicker").activated(2)
        compare(H.filters(viewModel)[0], "Zakończone")
    }

    // Start with empty fields keeps the form and shows the refusal; the line exists only while a
    // message is set, even a blank one, and the form grows by it.
    function test_loginErrorLine() {
        const view = makeView()
        const line = findChild(view, "loginErrorLine")
        verify(!line.visible)
        const before = view.implicitHeight
        mouseClick(findChild(view, "startButton"))
        compare(viewModel.viewState, TestSupport.enumValue("login"))
        tryVerify(() => line.visible)
        compare(line.text, "Podaj login i hasło.")
        tryVerify(() => view.implicitHeight > before)
        TestSupport.setLoginError(viewModel, "")
        verify(line.visible)
        TestSupport.setLoginError(viewModel, null)
        verify(!line.visible)
        tryCompare(view, "implicitHeight", before)
    }
}
