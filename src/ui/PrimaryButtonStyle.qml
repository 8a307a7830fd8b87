import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Velmoria

// The wide lime button of each screen's main actions; it fills the width it is given.
T.Button {
    id: control

    /** Whether the pointer is over the button; the only state the style keeps. */
    property bool isHovered: false

    hoverEnabled: true
    onHoveredChanged: isHovered = hovered

    // Buttons side by side share the row equally, whatever their titles.
    Layout.fillWidth: true
    Layout.preferredWidth: 1
    implicitWidth: contentItem.implicitWidth + 2 * 12
    implicitHeight: 44

    font: Theme.buttonText

    scale: isHovered ? 1.02 : 1.0
    Behavior on scale {
        NumberAnimation { duration: 150; easing.type: Easing.InOutQuad }
    }

    contentItem: Text {
        text: control.text
        font: control.font
        color: Theme.navy
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Item {
        implicitHeight: 44

        // A lime glow 2 px below, faded out while not hovered; stacked rings stand in for a blur of radius 4.
        Item {
            id: glow
            anchors.fill: parent
            anchors.topMargin: 2
            anchors.bottomMargin: -2
            opacity: control.isHovered ? 1.0 : 0.0
            Behavior on opacity {
                NumberAnimation { duration: 150; easing.type: Easing.InOutQuad }
            }
            Repeater {
                model: 4
                Rectangle {
                    required property int index
                    anchors.fill: parent
                    anchors.margins: -(index + 1)
                    radius: 6 + index + 1
                    color: Theme.accentLime
                    opacity: 0.3 / 4
                }
            }
        }

        Rectangle {
            id: base
            anchors.fill: parent
            radius: 6
            color: Theme.accentLime
        }
        // Hover darkens with the animation; a press alone darkens at once.
        Rectangle {
            objectName: "hoverFill"
            anchors.fill: parent
            radius: 6
            color: Theme.accentLimeDark
            opacity: control.isHovered ? 1.0 : 0.0
            Behavior on opacity {
                NumberAnimation { duration: 150; easing.type: Easing.InOutQuad }
            }
        }
        Rectangle {
            objectName: "pressFill"
            anchors.fill: parent
            radius: 6
            color: Theme.accentLimeDark
            visible: control.pressed
        }
        FocusMark {
            radius: 6
            visible: control.visualFocus
        }
    }
}
