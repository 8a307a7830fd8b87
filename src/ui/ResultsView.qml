import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmoria
import "ViewModelActions.js" as Actions

// A finished or stopped run: counts, time, the first 100 cases and the file buttons.
ColumnLayout {
    id: root

    required property var viewModel
    readonly property var progress: viewModel.progress
    readonly property int caseCount: tableModel.totalCount

    spacing: 0

    CaseTableModel {
        id: tableModel
        viewModel: root.viewModel
    }

    HeaderView {}

    MessageLine {
        objectName: "statusLine"
        Layout.topMargin: 10
        text: root.progress.statusText
        font: Theme.sectionTitle
        color: Theme.textPrimary
    }

    // Why a stopped run's cases could not be saved.
    ErrorLine { progress: root.progress }

    RowLayout {
        Layout.fillWidth: true
        Layout.leftMargin: 36
        Layout.rightMargin: 36
        Layout.topMargin: 8
        spacing: 8

        StatCardView {
            objectName: "countCard"
            value: String(root.caseCount)
            label: ViewHelpers.caseCountWord(root.caseCount)
        }
        StatCardView {
            objectName: "timeCard"
            value: ViewHelpers.elapsedText(root.progress.elapsedSeconds)
            label: "Czas"
        }
    }

    CasesTable {
        objectName: "casesTable"
        visible: root.caseCount > 0
        model: tableModel
        Layout.fillWidth: true
        Layout.leftMargin: 36
        Layout.rightMargin: 36
        Layout.topMargin: visible ? 8 : 0
        Layout.preferredHeight: visible ? ViewHelpers.tableHeight(root.caseCount) : 0
    }

    RowLayout {
        objectName: "resultButtons"
        Layout.fillWidth: true
        Layout.leftMargin: 36
        Layout.rightMargin: 36
        Layout.topMargin: 8
        Layout.bottomMargin: 6
        spacing: 8

        PrimaryButtonStyle {
            objectName: "openFileButton"
            visible: root.progress.outputFile.toString().length > 0
            text: qsTr("Otwórz plik")
            onClicked: Actions.performViewModelAction(root, "openOutputFile")
        }
        PrimaryButtonStyle {
            objectName: "showInFinderButton"
            visible: root.progress.outputFile.toString().length > 0
            text: qsTr("Pokaż w Finderze")
            onClicked: Actions.performViewModelAction(root, "showInFinder")
        }
        PrimaryButtonStyle {
            objectName: "newSearchButton"
            text: qsTr("Nowe wyszukiwanie")
            onClicked: root.viewModel.startNewSearch()
        }
    }

    TorbunFooter {}
}
