import QtQuick
import Velmoria

// The root view: exactly one screen, chosen by the controller's viewState, 950 px wide.
Item {
    id: root

    required property var viewModel

    implicitWidth: 950
    implicitHeight: screen.item ? screen.item.implicitHeight : 0

    Rectangle {
        anchors.fill: parent
        color: Theme.appBackground
    }

    Loader {
        id: screen
        objectName: "screenLoader"
        width: 950
        anchors.horizontalCenter: parent.horizontalCenter
        sourceComponent: {
            switch (ViewHelpers.screenFor(root.viewModel.viewState)) {
            case ViewHelpers.ProgressScreen:
                return progressScreen
            case ViewHelpers.ResultsScreen:
                return resultsScreen
            default:
                return loginScreen
            }
        }
    }

    Component {
        id: loginScreen
        LoginView { objectName: "loginView"; viewModel: root.viewModel }
    }
    Component {
        id: progressScreen
        ScrapeProgressView { objectName: "progressView"; viewModel: root.viewModel }
    }
    Component {
        id: resultsScreen
        ResultsView { objectName: "resultsView"; viewModel: root.viewModel }
    }
}
