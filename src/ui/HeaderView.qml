import QtQuick
import QtQuick.Layouts
import Velmoria

// The portal's icon beside its two-line name, centred across the screen.
Item {
    id: root

    Layout.fillWidth: true
    implicitWidth: group.implicitWidth
    implicitHeight: group.implicitHeight + 2 * 10

    Row {
        id: group
        objectName: "headerGroup"
        anchors.centerIn: parent
        spacing: 10

        Image {
            id: icon
            objectName: "portalIcon"
            anchors.verticalCenter: parent.verticalCenter
            source: "assets/portalicon.svg"
            height: 40
            // The width follows from the picture's aspect ratio.
            width: implicitHeight > 0 ? Math.round(40 * implicitWidth / implicitHeight) : 40
            fillMode: Image.PreserveAspectFit
            smooth: true
            mipmap: true
            antialiasing: true
            // Render the vector art at the drawn size, not its nominal one.
            sourceSize.height: 80
        }

        Column {
            anchors.verticalCenter: parent.verticalCenter
            spacing: 1

            Text {
                objectName: "headerTitle"
                text: qsTr("Portal Informacyjny")
                font: Theme.systemFont(14, Font.DemiBold)
                color: Theme.textPrimary
            }
            Text {
                objectName: "headerSubtitle"
                text: qsTr("Sądów Powszechnych")
                font: Theme.systemFont(12)
                color: Theme.textSecondary
            }
        }
    }
}
