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
        LoginView {
            width: 950
        }
    }

    property var viewModel: null
    property var made: []

    function init() {
        viewModel = TestSupport.createViewModel()
        viewModel.login = ""
        viewModel.password = ""
    }
    function cleanup() {
        for (const item of made)
            item.destroy()
        made = []
        viewModel.destroy()
        viewModel = null
    }
    function makeView() {
        const view = viewComponent.createObject(testCase, { viewModel: viewModel })
        verify(view)
        made.push(view)
        // The controller's hidden web window may have taken activation; keys go to the active window.
        view.Window.window.requestActivate()
        tryVerify(() => view.Window.window.active)
        waitForRendering(view)
        return view
    }

    // The form's captions, titles and buttons are all there.
    function test_texts() {
        const texts = H.visibleTexts(makeView())
        for (const expected of ["Portal Informacyjny", "Sądów Powszechnych", "Logowanie", "Login", "Hasło", "Apelacja",
                                "Filtry", "Status", "Data od", "Data do", "Podmiot", "Przedmiot", "Folder zapisu:",
                                "Zmień", "Rozpocznij pobieranie", "©", "Tor", "bun"])
            verify(texts.indexOf(expected) >= 0, "missing " + expected)
    }

    // Typing into each field writes the controller; the password field masks its text.
    function test_typingWritesController() {
        const view = makeView()
        mouseClick(findChild(view, "loginField"))
        H.typeText(testCase, "jan.kowalski")
        compare(viewModel.login, "jan.kowalski")

        const password = findChild(view, "passwordField")
        mouseClick(password)
        H.typeText(testCase, "tajne1")
        compare(viewModel.password, "tajne1")
        compare(password.echoMode, TextInput.Password)
        verify(password.displayText !== "tajne1")

        mouseClick(findChild(view, "podmiotField"))
        H.typeText(testCase, "Nowak")
        mouseClick(findChild(view, "przedmiotField"))
        H.typeText(testCase, "zaplata")
        mouseClick(findChild(view, "dataOdField"))
        H.typeText(testCase, "2026-01-01")
        mouseClick(findChild(view, "dataDoField"))
        H.typeText(testCase, "jutro")
        compare(TestSupport.filters(viewModel), ["Wszystkie", "2026-01-01", "jutro", "Nowak", "zaplata"])
    }

    // Values set on the controller show in the form.
    function test_controllerShowsInForm() {
        const view = makeView()
        viewModel.login = "anna"
        TestSupport.setFilters(viewModel, "W toku", "2025-01-01", "", "Kowalski", "")
        compare(findChild(view, "loginField").text, "anna")
        compare(findChild(view, "podmiotField").text, "Kowalski")
        compare(findChild(view, "dataOdField").text, "2025-01-01")
        compare(findChild(view, "statusPicker").displayText, "W toku")
        viewModel.outputDirectory = TestSupport.folderUrl("Wyniki")
        verify(findChild(view, "folderPath").text.endsWith("/velmoria-ui-test/Wyniki"))
    }

    // The region picker lists the eleven names in order and stores the exact one chosen.
    function test_regionPicker() {
        const view = makeView()
        const picker = findChild(view, "apelacjaPicker")
        compare(picker.count, 11)
        compare(picker.textAt(5), "Apelacja łódzka")
        compare(picker.textAt(4), "Apelacja lubelska")
        compare(picker.displayText, "Apelacja wrocławska")
        mouseClick(picker)
        tryVerify(() => picker.popup.opened)
        const list = picker.popup.contentItem
        list.positionViewAtIndex(1, ListView.Center)
        let choice = null
        tryVerify(() => (choice = list.itemAtIndex(1)) !== null)
        compare(choice.text, "Apelacja gdańska")
        mouseClick(choice)
        tryVerify(() => !picker.popup.visible)
        compare(viewModel.selectedApelacja, "Apelacja gdańska")
    }

    // A restored region outside the list is shown unchanged.
    function test_unknownRegionShown() {
        viewModel.selectedApelacja = "Apelacja nieznana"
        const view = makeView()
        compare(findChild(view, "apelacjaPicker").displayText, "Apelacja nieznana")
    }

    function test_statusPicker() {
        const view = makeView()
        const picker = findChild(view, "statusPicker")
        compare(picker.count, 3)
        picker.activated(2)
        compare(TestSupport.filters(viewModel)[0], "Zakończone")
    }

    // The error line appears only while a message is set; the form grows by its line.
    function test_loginErrorLine() {
        const view = makeView()
        const line = findChild(view, "loginErrorLine")
        verify(!line.visible)
        const before = view.implicitHeight
        TestSupport.setLoginError(viewModel, "Podaj login i hasło.")
        verify(line.visible)
        compare(line.text, "Podaj login i hasło.")
        tryVerify(() => view.implicitHeight > before)
        TestSupport.setLoginError(viewModel, "")
        verify(line.visible)
        tryVerify(() => view.implicitHeight > before)
        TestSupport.clearLoginError(viewModel)
        verify(!line.visible)
        tryCompare(view, "implicitHeight", before)
    }

    // The start button calls the controller, which refuses empty credentials on the form.
    function test_startWithEmptyFields() {
        const view = makeView()
        mouseClick(findChild(view, "startButton"))
        compare(viewModel.loginError, "Podaj login i hasło.")
        compare(viewModel.viewState, TestSupport.viewState("login"))
        tryVerify(() => findChild(view, "loginErrorLine").visible)
    }

    // The date fields show "RRRR-MM-DD" as placeholder only; the others have none.
    function test_placeholders() {
        const view = makeView()
        compare(findChild(view, "dataOdField").placeholderText, "RRRR-MM-DD")
        compare(findChild(view, "dataDoField").placeholderText, "RRRR-MM-DD")
        compare(findChild(view, "loginField").placeholderText, "")
        compare(findChild(view, "podmiotField").placeholderText, "")
    }

    // A long folder path stays on one line, elided in the middle, with "Zmień" at the right edge.
    function test_longFolderPath() {
        const view = makeView()
        viewModel.outputDirectory = TestSupport.folderUrl("bardzo-dluga-nazwa-folderu-".repeat(8))
        const path = findChild(view, "folderPath")
        tryVerify(() => path.truncated)
        compare(path.elide, Text.ElideMiddle)
        const button = findChild(view, "changeFolderButton")
        const right = button.mapToItem(view, button.width, 0).x
        fuzzyCompare(right, 950 - 40, 1)
    }

    // "Zmień" opens the folder chooser; its choice is shown and remembered for the next launch,
    // a cancelled chooser changes nothing.
    function test_chooseFolder() {
        const view = makeView()
        const dialog = findChild(view, "folderDialog")
        verify(dialog)
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
