import QtQuick
import QtQuick.Layouts
import Velmoria

// A caption over a date field; the date is free text with "RRRR-MM-DD" as placeholder.
ColumnLayout {
    id: root

    required property string caption
    required property string value
    property string fieldName
    /** The user changed the text. */
    signal edited(string text)

    Layout.fillWidth: true
    spacing: 2

    Text {
        text: root.caption
        textFormat: Text.PlainText
        font: Theme.labelRegular
        color: Theme.textPrimary
    }
    FormTextField {
        objectName: root.fieldName
        placeholderText: qsTr("RRRR-MM-DD")
        text: root.value
        onTextEdited: root.edited(text)
    }
}
