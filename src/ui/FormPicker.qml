import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmoria

// A picker over fixed texts; the chosen text itself is the value.
ComboBox {
    id: control

    /** The bound value; one that is not among the options is still shown as the selection. */
    required property string value
    /** Called with the chosen option's text. */
    signal picked(string text)

    Layout.fillWidth: true
    font: Theme.labelRegular
    currentIndex: model ? model.indexOf(value) : -1
    displayText: value
    onActivated: index => picked(model[index])

    // Compact, in the look of the form's text fields.
    padding: 6
    leftPadding: 6
    rightPadding: 6 + (indicator ? indicator.width : 0)
    background: Rectangle {
        implicitWidth: 120
        implicitHeight: 26
        radius: 4
        color: control.pressed ? Theme.headerBackground : Theme.fieldBackground
        border.width: 1
        border.color: Theme.border

        FocusMark {
            radius: 4
            visible: control.visualFocus
        }
    }
    contentItem: Text {
        leftPadding: 0
        text: control.displayText
        textFormat: Text.PlainText
        font: control.font
        color: Theme.textPrimary
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    indicator: Text {
        x: control.width - width - 6
        y: (control.height - height) / 2
        text: "▾"
        font: control.font
        color: Theme.textSecondary
    }
}
