import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmoria

// The run under way: status, progress bar and percentage, three figures, and stop or return.
ColumnLayout {
    id: root

    required property var viewModel
    // Always read through the controller, so a replaced record is followed at once.
    readonly property var progress: viewModel.progress

    spacing: 0

    HeaderView {}

    MessageLine {
        objectName: "statusLine"
        Layout.topMargin: 10
        text: root.progress.statusText
        font: Theme.sectionTitle
        color: Theme.textPrimary
    }

    ProgressBar {
        id: bar
        objectName: "progressBar"
        Layout.fillWidth: true
        Layout.leftMargin: 60
        Layout.rightMargin: 60
        Layout.topMargin: 10
        from: 0
        to: 1
        value: root.progress.progressValue
        // Twice as thick on screen without taking more room in the layout.
        transform: Scale {
            origin.y: bar.height / 2
            yScale: 2
        }
        background: Rectangle {
            implicitHeight: 4
            radius: 2
            color: Theme.headerBackground
        }
        contentItem: Item {
            implicitHeight: 4
            Rectangle {
                objectName: "progressFill"
                width: bar.visualPosition * parent.width
                height: parent.height
                radius: 2
                color: Theme.accentLime
            }
        }
    }

    Text {
        objectName: "percentText"
        Layout.alignment: Qt.AlignHCenter
        Layout.topMargin: 6
        text: ViewHelpers.percentText(root.progress.progressValue)
        font: Theme.bodyText
        color: Theme.textSecondary
    }

    RowLayout {
        Layout.fillWidth: true
        Layout.leftMargin: 36
        Layout.rightMargin: 36
        Layout.topMargin: 8
        spacing: 8

        StatCardView {
            objectName: "countCard"
            value: String(root.progress.recordCount)
            label: ViewHelpers.caseCountWord(root.progress.recordCount)
        }
        StatCardView {
            objectName: "pageCard"
            value: root.progress.pageInfo
            label: "Strona"
        }
        StatCardView {
            objectName: "timeCard"
            value: ViewHelpers.elapsedText(root.progress.elapsedSeconds)
            label: "Czas"
        }
    }

    ErrorLine { progress: root.progress }

    PrimaryButtonStyle {
        objectName: ViewHelpers.isFailedPhase(root.progress.phase) ? "backButton" : "stopButton"
        Layout.leftMargin: 36
        Layout.rightMargin: 36
        Layout.topMargin: 10
        Layout.bottomMargin: 6
        text: ViewHelpers.isFailedPhase(root.progress.phase) ? qsTr("Wróć") : qsTr("Zatrzymaj")
        onClicked: {
            if (ViewHelpers.isFailedPhase(root.progress.phase))
                root.viewModel.returnToForm()
            else
                root.viewModel.stopScraping()
        }
    }

    TorbunFooter {}
}
