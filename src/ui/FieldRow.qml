import QtQuick
import QtQuick.Layouts
import Velmoria

// A caption above a control, 16 px in from both edges and 4 px below the row's top.
Item {
    id: root

    required property string label
    /** The control shown under the caption. */
    default property alias content: column.data

    Layout.fillWidth: true
    implicitWidth: column.implicitWidth + 2 * 16
    implicitHeight: column.implicitHeight + 4

    ColumnLayout {
        id: column
        x: 16
        y: 4
        width: root.width - 2 * 16
        spacing: 2

        Text {
            objectName: "fieldCaption"
            // A value, not a translation key: shown as typed.
            text: root.label
            textFormat: Text.PlainText
            font: Theme.labelRegular
            color: Theme.textPrimary
        }
    }
}
