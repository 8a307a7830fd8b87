import QtQuick
import QtQuick.Layouts
import Velmoria

// One figure of a run over its caption, on a card that takes the width it is offered.
Item {
    id: root

    required property string value
    required property string label

    // Cards in a row share its width equally, whatever their texts.
    Layout.fillWidth: true
    Layout.preferredWidth: 1
    implicitWidth: Math.max(valueText.implicitWidth, labelText.implicitWidth)
    implicitHeight: column.implicitHeight

    Rectangle {
        anchors.fill: parent
        radius: 8
        color: Theme.cardBackground
    }

    Column {
        id: column
        width: root.width
        spacing: 0

        Text {
            id: valueText
            objectName: "statValue"
            width: parent.width
            topPadding: 10
            text: root.value
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            font: Theme.statValue
            color: Theme.textPrimary
        }
        Text {
            id: labelText
            objectName: "statLabel"
            width: parent.width
            bottomPadding: 10
            text: root.label
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            font: Theme.captionSmall
            color: Theme.textSecondary
        }
    }

    Rectangle {
        anchors.fill: parent
        anchors.margins: -0.5
        radius: 8.5
        color: "transparent"
        border.width: 1
        border.color: Theme.border
    }
}
