import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Velmoria

// The maker's mark; a click opens the maker's web page.
T.AbstractButton {
    id: root

    objectName: "footer"
    Layout.alignment: Qt.AlignHCenter
    padding: 0
    bottomPadding: 6
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    onClicked: ViewHelpers.openMakerSite()

    contentItem: Item {
        implicitWidth: copyright.implicitWidth + 2 + wordmark.implicitWidth
        implicitHeight: Math.max(wordmark.implicitHeight, copyright.implicitHeight)
        // A plain button dims while held down and draws nothing else.
        opacity: root.pressed ? 0.6 : 1.0

        Text {
            id: copyright
            objectName: "footerCopyright"
            text: qsTr("©")
            font: Theme.systemFont(10)
            color: Theme.textSecondary
            // Shares the wordmark's first text baseline.
            anchors.baseline: wordmark.baseline
        }

        Item {
            id: wordmark
            objectName: "footerWordmark"
            x: copyright.implicitWidth + 2
            implicitWidth: letters.implicitWidth
            implicitHeight: letters.implicitHeight
            width: implicitWidth
            height: implicitHeight
            baselineOffset: first.baselineOffset

            Row {
                id: letters
                Text {
                    id: first
                    text: qsTr("Tor")
                    font: Theme.systemFont(12, Font.Bold)
                    color: Theme.navy
                }
                Text {
                    text: qsTr("bun")
                    font: Theme.systemFont(12, Font.Normal)
                    color: Theme.navy
                    anchors.baseline: first.baseline
                }
            }

            Rectangle {
                objectName: "footerDot"
                width: 4
                height: 4
                radius: 2
                color: Theme.accentLime
                x: wordmark.width - width - 1
                y: -1
            }
        }
    }

    // A keyboard stop like any other button, so it shows the same ring.
    FocusMark {
        radius: 2
        visible: root.visualFocus
    }
}
