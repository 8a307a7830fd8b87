import QtQuick
import QtQuick.Controls.Basic
import Velmoria

// The scrollable table of cases: a header row, one row per case, and the overflow line.
Item {
    id: root

    required property CaseTableModel model

    readonly property var columns: ViewHelpers.tableColumns
    // Each cell adds 4 px of padding on both sides.
    readonly property int rowWidth: {
        let width = 0
        for (const title of columns)
            width += ViewHelpers.tableColumnWidth(title) + 8
        return width
    }

    Rectangle {
        anchors.fill: parent
        radius: 8
        color: Theme.cardBackground
    }

    Flickable {
        id: flick
        objectName: "tableFlickable"
        anchors.fill: parent
        // The scroll bars get strips of their own, so they never hide the last row or column.
        anchors.rightMargin: verticalBar.width
        anchors.bottomMargin: horizontalBar.height
        clip: true
        contentWidth: rows.width
        contentHeight: rows.height
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.horizontal: ScrollBar {
            id: horizontalBar
            objectName: "horizontalScrollBar"
            parent: root
            anchors.left: flick.left
            anchors.right: flick.right
            anchors.top: flick.bottom
            policy: ScrollBar.AlwaysOn
        }
        ScrollBar.vertical: ScrollBar {
            id: verticalBar
            objectName: "verticalScrollBar"
            parent: root
            anchors.top: flick.top
            anchors.bottom: flick.bottom
            anchors.left: flick.right
            policy: ScrollBar.AlwaysOn
        }

        Column {
            id: rows
            width: root.rowWidth
            spacing: 0

            Rectangle {
                objectName: "tableHeaderRow"
                width: root.rowWidth
                height: headerCells.height
                color: Theme.headerBackground
                Row {
                    id: headerCells
                    Repeater {
                        model: root.columns
                        Text {
                            required property string modelData
                            width: ViewHelpers.tableColumnWidth(modelData) + 8
                            leftPadding: 4
                            rightPadding: 4
                            topPadding: 4
                            bottomPadding: 4
                            text: modelData
                            textFormat: Text.PlainText
                            font: Theme.systemFont(10, Font.Bold)
                            color: Theme.navy
                            wrapMode: Text.Wrap
                        }
                    }
                }
            }

            Repeater {
                objectName: "caseRows"
                model: root.model
                Rectangle {
                    id: caseRow
                    required property var cells
                    required property int position
                    objectName: "caseRow" + position
                    width: root.rowWidth
                    height: dataCells.height
                    color: position % 2 === 1 ? Theme.appBackground : "transparent"
                    Row {
                        id: dataCells
                        Repeater {
                            model: root.columns
                            Text {
                                required property string modelData
                                required property int index
                                objectName: "cell" + index
                                width: ViewHelpers.tableColumnWidth(modelData) + 8
                                leftPadding: 4
                                rightPadding: 4
                                topPadding: 2
                                bottomPadding: 2
                                anchors.verticalCenter: parent ? parent.verticalCenter : undefined
                                text: caseRow.cells[index]
                                textFormat: Text.PlainText
                                font: Theme.systemFont(10)
                                color: Theme.textPrimary
                                wrapMode: Text.Wrap
                                maximumLineCount: 2
                                elide: Text.ElideRight
                            }
                        }
                    }
                }
            }

            Text {
                objectName: "overflowLine"
                visible: root.model.overflowCount > 0
                height: visible ? implicitHeight : 0
                anchors.horizontalCenter: parent.horizontalCenter
                padding: 4
                text: qsTr("... i %1 więcej (otwórz plik XLSX)").arg(root.model.overflowCount)
                font: Theme.systemFont(10)
                color: Theme.textSecondary
            }
        }
    }

    // Rounds the corners of the rows that scroll under them: a clip to the card's rounded shape,
    // painted in the colour the table stands on.
    Canvas {
        objectName: "tableCorners"
        anchors.fill: parent
        onWidthChanged: requestPaint()
        onHeightChanged: requestPaint()
        onPaint: {
            const context = getContext("2d")
            context.reset()
            context.fillStyle = Theme.appBackground
            context.fillRule = Qt.OddEvenFill
            context.beginPath()
            context.rect(0, 0, width, height)
            context.roundedRect(0, 0, width, height, 8, 8)
            context.fill()
        }
    }

    Rectangle {
        anchors.fill: parent
        anchors.margins: -0.5
        radius: 8.5
        color: "transparent"
        border.width: 1
        border.color: Theme.border
    }
}
