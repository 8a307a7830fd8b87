import QtQuick
import QtTest
import Velmoria
import VelmoriaTest
import "helpers.js" as H

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
        H.destroyViews(testCase)
    }

    // One screen at a time by viewState, 950 px wide, over the same controller; the root view is
    // as tall as the screen shown.
    function test_switchesScreens() {
        const content = H.makeView(testCase, contentComponent)
        const screen = () => findChild(content, "screenLoader").item
        compare(content.implicitWidth, 950)
        compare(screen().objectName, "loginView")
        tryCompare(content, "implicitHeight", screen().implicitHeight)
        const loginHeight = content.implicitHeight
        viewModel.viewState = TestSupport.viewState("progress")
        compare(screen().objectName, "progressView")
        verify(screen().viewModel === viewModel)
        TestSupport.fillCases(viewModel, 30)
        viewModel.viewState = TestSupport.viewState("results")
        compare(screen().objectName, "resultsView")
        compare(screen().width, 950)
        tryCompare(content, "implicitHeight", screen().implicitHeight)
        verify(content.implicitHeight > loginHeight)
        viewModel.viewState = TestSupport.viewState("login")
        compare(screen().objectName, "loginView")
        tryCompare(content, "implicitHeight", loginHeight)
    }
}
