import QtQuick
import QtQuick.Window
import Velmoria

// The application's window: 950 px wide, as tall as the screen it shows.
Window {
    id: window

    /** The window's own controller, made by the application for this window. */
    required property var viewModel

    // A window may not be 0 high, which the content is for a moment while its screen is replaced.
    readonly property int contentHeight: content.implicitHeight > 0 ? content.implicitHeight : 460

    width: 950
    height: contentHeight
    minimumWidth: 950
    maximumWidth: 950
    minimumHeight: contentHeight
    maximumHeight: contentHeight
    color: Theme.appBackground
    visible: true

    ContentView {
        id: content
        objectName: "contentView"
        anchors.fill: parent
        viewModel: window.viewModel
    }
}
