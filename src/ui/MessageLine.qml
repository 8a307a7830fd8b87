import QtQuick
import QtQuick.Layouts

// A centred line of text from outside the window (a status, an error, a path): wrapped within the
// screen's margins, since it may be of any length.
Text {
    Layout.fillWidth: true
    Layout.leftMargin: 36
    Layout.rightMargin: 36
    textFormat: Text.PlainText
    wrapMode: Text.Wrap
    horizontalAlignment: Text.AlignHCenter
}
