pragma Singleton
import QtQuick
import Velmoria

// The colours and fonts every view takes by name; each is computed once, here.
QtObject {
    readonly property color navy: ViewHelpers.hexColor("1B2A4A")
    readonly property color accentLime: ViewHelpers.hexColor("DEF71C")
    readonly property color accentLimeDark: ViewHelpers.hexColor("c8e000")
    readonly property color appBackground: ViewHelpers.hexColor("F5F6F8")
    readonly property color cardBackground: "white"
    readonly property color border: ViewHelpers.hexColor("D8DCE6")
    readonly property color fieldBackground: "white"
    readonly property color textPrimary: ViewHelpers.hexColor("1B2A4A")
    readonly property color textSecondary: ViewHelpers.hexColor("6B7B99")
    readonly property color errorRed: ViewHelpers.hexColor("D32F2F")
    readonly property color headerBackground: ViewHelpers.hexColor("E8EBF2")

    // The system UI font; sizes are in device-independent pixels, like every other length.
    readonly property string systemFamily: Qt.application.font.family

    readonly property font labelBold: Qt.font({ family: systemFamily, pixelSize: 12, bold: true })
    readonly property font labelRegular: Qt.font({ family: systemFamily, pixelSize: 12 })
    readonly property font captionSmall: Qt.font({ family: systemFamily, pixelSize: 11 })
    readonly property font bodyText: Qt.font({ family: systemFamily, pixelSize: 13 })
    readonly property font buttonText: Qt.font({ family: systemFamily, pixelSize: 14 })
    readonly property font statValue: Qt.font({ family: systemFamily, pixelSize: 22, bold: true })
    readonly property font sectionTitle: Qt.font({ family: systemFamily, pixelSize: 16, bold: true })

    /** A system font of the given size for the views that set one directly. */
    function systemFont(pixelSize, weight) {
        return Qt.font({ family: systemFamily, pixelSize: pixelSize, weight: weight === undefined ? Font.Normal : weight })
    }
}
