import QtQuick
import QtQuick.Layouts
import Velmoria

// The error of a run, in the error colour, present only while the record has one.
MessageLine {
    required property var progress

    objectName: "errorLine"
    visible: progress.hasErrorMessage
    Layout.topMargin: visible ? 6 : 0
    Layout.preferredHeight: visible ? implicitHeight : 0
    text: progress.errorMessage
    font: Theme.labelRegular
    color: Theme.errorRed
}
