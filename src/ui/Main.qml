import QtQuick
import QtQuick.Window
import Velmoria

// The application's window: 950 px wide, as tall as the screen it shows.
Window {
    id: window

    /** The window's own controller, made by the application for this window. */
    required property var viewModel

    width: 950
    height: content.implicitHeight > 0 ? content.implicitHeight : 460
    minimumWidth: 950
    maximumWidth: 950
    minimumHeight: content.implicitHeight
    maximumHeight: content.implicitHeight
    color: Theme.appBackground
    visible: true

    ContentView {
        id: content
        objectName: "contentView"
        anchors.fill: parent
        viewModel: window.viewModel
    }
}
