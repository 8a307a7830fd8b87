import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmoria

// A text field with the form's look: 6 px padding, white, radius 4, 1 px border.
TextField {
    id: control

    Layout.fillWidth: true
    font: Theme.labelRegular
    color: Theme.textPrimary
    placeholderTextColor: Theme.textSecondary
    padding: 6
    selectByMouse: true

    background: Rectangle {
        implicitWidth: 80
        radius: 4
        color: Theme.fieldBackground
        border.width: 1
        border.color: Theme.border

        // A field shows it whenever it takes the keys, also after a click.
        FocusMark {
            radius: 4
            visible: control.activeFocus
        }
    }
}
