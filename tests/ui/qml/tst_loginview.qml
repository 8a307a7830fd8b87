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
        compare(findChild(view, "dataOdField").placeholderText, "RRRR-MM-DD")
        compare(findChild(view, "dataDoField").placeholderText, "RRRR-MM-DD")
        for (const name of ["loginField", "passwordField", "podmiotField", "przedmiotField"])
            compare(findChild(view, name).placeholderText, "", name)
    }

    // Typing into each field writes the controller; the password field masks its text.
    function test_typingWritesController() {
        const view = makeView()
        const typed = [["loginField", "jan.kowalski"], ["passwordField", "tajne1"], ["podmiotField", "Nowak"],
                       ["przedmiotField", "zaplata"], ["dataOdField", "2026-01-01"], ["dataDoField", "jutro"]]
        for (const [name, text] of typed) {
            mouseClick(findChild(view, name))
            H.typeText(testCase, text)
        }
        compare(viewModel.login, "jan.kowalski")
        compare(viewModel.password, "tajne1")
        compare(H.filters(viewModel), ["Wszystkie", "2026-01-01", "jutro", "Nowak", "zaplata"])
        const password = findChild(view, "passwordField")
        compare(password.echoMode, TextInput.Password)
        verify(password.displayText !== "tajne1")
    }

    // Values set on the controller show in the form; a long folder path is elided in the middle
    // and "Zmień" stays at the right edge.
    function test_controllerShowsInForm() {
        const view = makeView()
        viewModel.login = "anna"
        H.setFilters(viewModel, ["W toku", "2025-01-01", "", "Kowalski", ""])
        compare(findChild(view, "loginField").text, "anna")
        compare(findChild(view, "podmiotField").text, "Kowalski")
        compare(findChild(view, "dataOdField").text, "2025-01-01")
        compare(findChild(view, "statusPicker").displayText, "W toku")
        viewModel.outputDirectory = TestSupport.folderUrl("bardzo-dluga-nazwa-folderu-".repeat(8))
        const path = findChild(view, "folderPath")
        verify(path.text.endsWith("/velmoria-ui-test/" + "bardzo-dluga-nazwa-folderu-".repeat(8)))
        tryVerify(() => path.truncated)
        compare(path.elide, Text.ElideMiddle)
        const button = findChild(view, "changeFolderButton")
        fuzzyCompare(button.mapToItem(view, button.width, 0).x, 950 - 40, 1)
    }

    // The region picker lists the eleven names in order and stores the exact one chosen;
    // a restored region outside the list is shown unchanged; the status picker stores its text.
    function test_pickers() {
        viewModel.selectedApelacja = "Apelacja nieznana"
        const view = makeView()
        const picker = findChild(view, "apelacjaPicker")
        compare(picker.displayText, "Apelacja nieznana")
        compare(picker.count, 11)
        compare(picker.textAt(4), "Apelacja lubelska")
        compare(picker.textAt(5), "Apelacja łódzka")
        compare(picker.textAt(10), "Apelacja wrocławska")
        mouseClick(picker)
        tryVerify(() => picker.popup.opened)
        const list = picker.popup.contentItem
        list.positionViewAtIndex(1, ListView.Center)
        let choice = null
        tryVerify(() => (choice = list.itemAtIndex(1)) !== null)
        mouseClick(choice)
        tryVerify(() => !picker.popup.visible)
        compare(viewModel.selectedApelacja, "Apelacja gdańska")
        compare(picker.displayText, "Apelacja gdańska")

        const status = findChild(view, "statusPicker")
        compare(status.count, 3)
        status.activated(2)
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
        tryVerify(() => view.implicitHeight > before)
        TestSupport.setLoginError(viewModel, null)
        verify(!line.visible)
        tryCompare(view, "implicitHeight", before)
    }

    // "Zmień" opens the folder chooser; its choice is shown and remembered for the next launch,
    // a cancelled chooser changes nothing.
    function test_chooseFolder() {
        const view = makeView()
        const dialog = findChild(view, "folderDialog")
        const before = viewModel.outputDirectory
        mouseClick(findChild(view, "changeFolderButton"))
        tryCompare(dialog, "visible", true)
        dialog.reject()
        tryCompare(dialog, "visible", false)
        compare(viewModel.outputDirectory, before)
        compare(TestSupport.storedOutputDirectory(), "")

        const chosen = TestSupport.folderUrl("Wybrany")
        mouseClick(findChild(view, "changeFolderButton"))
        tryCompare(dialog, "visible", true)
        dialog.currentFolder = chosen
        dialog.selectedFolder = chosen
        dialog.accept()
        tryCompare(dialog, "visible", false)
        compare(String(viewModel.outputDirectory), String(chosen))
        verify(findChild(view, "folderPath").text.endsWith("/velmoria-ui-test/Wybrany"))
        compare(TestSupport.storedOutputDirectory(), ViewHelpers.folderPath(chosen))
    }
}
