import QtQuick
import QtQuick.Templates as T
import Velmoria

// The small outlined button of the form's minor action; as wide as its title plus 40 px.
T.Button {
    id: control

    /** Whether the pointer is over the button; the only state the style keeps. */
    property bool isHovered: false

    hoverEnabled: true
    onHoveredChanged: isHovered = hovered

    leftPadding: 20
    rightPadding: 20
    topPadding: 0
    bottomPadding: 0
    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
    implicitHeight: 40

    font: Theme.systemFont(13)

    scale: isHovered ? 1.02 : 1.0
    Behavior on scale {
        NumberAnimation { duration: 150; easing.type: Easing.InOutQuad }
    }

    contentItem: Text {
        text: control.text
        font: control.font
        color: Theme.textSecondary
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: Item {
        implicitHeight: 40

        Rectangle {
            objectName: "hoverFill"
            anchors.fill: parent
            radius: 6
            color: Theme.headerBackground
            opacity: control.isHovered ? 0.5 : 0.0
            Behavior on opacity {
                NumberAnimation { duration: 150; easing.type: Easing.InOutQuad }
            }
        }
        Rectangle {
            objectName: "pressFill"
            anchors.fill: parent
            radius: 6
            color: Theme.headerBackground
            visible: control.pressed
        }
        // Centred on the edge: half of the 1 px line lies outside.
        Rectangle {
            anchors.fill: parent
            anchors.margins: -0.5
            radius: 6.5
            color: "transparent"
            border.color: Theme.border
            border.width: 1
        }
        FocusMark {
            radius: 6
            visible: control.visualFocus
        }
    }
}
