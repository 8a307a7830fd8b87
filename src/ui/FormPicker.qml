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
}
