import QtQuick
import QtTest
import Velmoria
import VelmoriaTest

TestCase {
    id: testCase
    name: "ContentView"
    width: 1000
    height: 900
    visible: true
    when: windowShown

    Component {
        id: contentComponent
        ContentView {}
    }

    property var viewModel: null
    property var made: []

    function init() {
        viewModel = TestSupport.createViewModel()
    }
    function cleanup() {
        for (const item of made)
            item.destroy()
        made = []
        viewModel.destroy()
        viewModel = null
    }

    function screen(content) {
        return findChild(content, "screenLoader").item
    }

    // One screen at a time by viewState, always 950 px wide, over the same controller.
    function test_switchesScreens() {
        const content = contentComponent.createObject(testCase, { viewModel: viewModel })
        made.push(content)
        compare(content.implicitWidth, 950)
        compare(screen(content).objectName, "loginView")
        viewModel.viewState = TestSupport.viewState("progress")
        compare(screen(content).objectName, "progressView")
        verify(screen(content).viewModel === viewModel)
        viewModel.viewState = TestSupport.viewState("results")
        compare(screen(content).objectName, "resultsView")
        viewModel.viewState = TestSupport.viewState("login")
        compare(screen(content).objectName, "loginView")
        compare(screen(content).width, 950)
        verify(content.viewModel === viewModel)
    }

    // The root view's height is that of the screen shown.
    function test_heightFollowsScreen() {
        const content = contentComponent.createObject(testCase, { viewModel: viewModel })
        made.push(content)
        tryVerify(() => content.implicitHeight > 0)
        tryCompare(content, "implicitHeight", screen(content).implicitHeight)
        TestSupport.fillCases(viewModel, 30)
        viewModel.viewState = TestSupport.viewState("results")
        tryCompare(content, "implicitHeight", screen(content).implicitHeight)
        verify(content.implicitHeight > 400)
    }
}
