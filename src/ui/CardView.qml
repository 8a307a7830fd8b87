import QtQuick
import QtQuick.Layouts
import Velmoria

// A white card exactly as large as its content, outlined in lime (accent) or in the plain border.
Item {
    id: root

    required property bool accent
    /** The card's content, stacked top to bottom and aligned on the leading edge. */
    default property alias content: stack.data

    implicitWidth: stack.implicitWidth
    implicitHeight: stack.implicitHeight

    Rectangle {
        anchors.fill: parent
        radius: 8
        color: Theme.cardBackground
    }

    ColumnLayout {
        id: stack
        anchors.fill: parent
        spacing: 0
    }

    // Drawn over the content and centred on the edge, so half of the line lies outside the card.
    Rectangle {
        objectName: "cardOutline"
        readonly property real lineWidth: root.accent ? 2 : 1
        anchors.fill: parent
        anchors.margins: -lineWidth / 2
        radius: 8 + lineWidth / 2
        color: "transparent"
        border.width: lineWidth
        border.color: root.accent ? Theme.accentLime : Theme.border
    }
}
