import QtQuick
import Velmoria

// The ring a control shows over its edge while it holds keyboard focus.
Rectangle {
    objectName: "focusMark"
    anchors.fill: parent
    color: "transparent"
    border.width: 2
    border.color: Theme.navy
}
