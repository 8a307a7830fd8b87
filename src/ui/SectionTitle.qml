import QtQuick
import QtQuick.Layouts
import Velmoria

// The bold navy title at the top of a form card.
Text {
    Layout.leftMargin: 16
    Layout.rightMargin: 16
    Layout.topMargin: 10
    Layout.bottomMargin: 4
    font: Theme.labelBold
    color: Theme.navy
}
