import QtQuick
import QtQuick.Layouts
import QtTest
import Velmoria
import VelmoriaTest

TestCase {
    id: testCase
    name: "Components"
    width: 950
    height: 600
    visible: true
    when: windowShown

    Component {
        id: twoPrimaries
        ColumnLayout {
            width: 400
            spacing: 20
            property alias first: first
            property alias second: second
            PrimaryButtonStyle { id: first; text: "Pierwszy" }
            PrimaryButtonStyle { id: second; text: "Drugi" }
        }
    }
    Component {
        id: secondaryComponent
        SecondaryButtonStyle { x: 100; y: 100; text: "Zmień" }
    }
    Component {
        id: cardComponent
        CardView {
            property alias label: label
            x: 50; y: 50
            Text { id: label; text: "Krótki" }
        }
    }
    Component {
        id: fieldRowComponent
        FieldRow {
            width: 400
            property alias field: field
            FormTextField { id: field }
        }
    }
    Component {
        id: statRow
        RowLayout {
            width: 600
            spacing: 8
            StatCardView { value: "0"; label: "Spraw" }
            StatCardView { value: "3 / 12"; label: "Strona" }
            StatCardView { value: "62:05"; label: "Czas" }
        }
    }
    Component {
        id: footerComponent
        TorbunFooter { x: 300; y: 300 }
    }
    Component {
        id: headerComponent
        HeaderView { width: 950 }
    }

    function init() {
        mouseMove(testCase, 940, 590)
        TestSupport.takeOpenedUrls()
    }

    // Hovering one primary button darkens and grows it alone; leaving reverses it.
    function test_primaryHover() {
        const pair = createTemporaryObject(twoPrimaries, testCase)
        waitForRendering(pair)
        const first = pair.first
        compare(first.height, 44)
        compare(first.width, 400)
        compare(first.isHovered, false)
        mouseMove(first, first.width / 2, first.height / 2)
        tryCompare(first, "isHovered", true)
        tryCompare(first, "scale", 1.02)
        tryCompare(findChild(first, "hoverFill"), "opacity", 1)
        compare(pair.second.isHovered, false)
        compare(pair.second.scale, 1)
        mouseMove(testCase, 900, 580)
        tryCompare(first, "scale", 1)
        tryCompare(findChild(first, "hoverFill"), "opacity", 0)
    }

    // A secondary button at rest shows only its outline; held down it fills at once.
    function test_secondaryStates() {
        const button = createTemporaryObject(secondaryComponent, testCase)
        waitForRendering(button)
        compare(button.height, 40)
        compare(button.width, button.contentItem.implicitWidth + 40)
        compare(String(button.contentItem.color), String(Theme.textSecondary))
        const hoverFill = findChild(button, "hoverFill")
        const pressFill = findChild(button, "pressFill")
        compare(hoverFill.opacity, 0)
        compare(pressFill.visible, false)
        mouseMove(button, 10, 10)
        mousePress(button, 10, 10)
        compare(pressFill.visible, true)
        mouseRelease(button, 10, 10)
        compare(pressFill.visible, false)
        compare(button.isHovered, true)
        tryCompare(hoverFill, "opacity", 0.5)
    }

    // A card is as large as its content; the outline is lime 2 px or grey 1 px.
    function test_card() {
        const card = createTemporaryObject(cardComponent, testCase, { accent: true })
        fuzzyCompare(card.width, card.label.implicitWidth, 1)
        fuzzyCompare(card.height, card.label.implicitHeight, 1)
        const outline = findChild(card, "cardOutline")
        compare(outline.border.width, 2)
        compare(String(outline.border.color), String(Theme.accentLime))
        card.accent = false
        compare(outline.border.width, 1)
        compare(String(outline.border.color), String(Theme.border))
    }

    // The caption is shown as typed, 16 px in and 4 px down, 2 px above the control.
    function test_fieldRow() {
        const row = createTemporaryObject(fieldRowComponent, testCase, { label: "%1 Login" })
        waitForRendering(row)
        const caption = findChild(row, "fieldCaption")
        compare(caption.text, "%1 Login")
        compare(caption.mapToItem(row, 0, 0), Qt.point(16, 4))
        compare(row.field.mapToItem(row, 0, 0), Qt.point(16, 4 + caption.height + 2))
        compare(row.field.width, 400 - 32)
    }

    // Statistic cards share their row's width; the value starts 10 px below the top.
    function test_statCards() {
        const row = createTemporaryObject(statRow, testCase)
        waitForRendering(row)
        for (let i = 0; i < 3; ++i)
            fuzzyCompare(row.children[i].width, (600 - 16) / 3, 1)
        const value = findChild(row.children[0], "statValue")
        compare(value.topPadding, 10)
        compare(value.font.pixelSize, 22)
        compare(findChild(row.children[0], "statLabel").bottomPadding, 10)
    }

    // The header centres the 40 px icon and the title block with 10 px between them.
    function test_header() {
        const header = createTemporaryObject(headerComponent, testCase)
        waitForRendering(header)
        const group = findChild(header, "headerGroup")
        const icon = findChild(header, "portalIcon")
        fuzzyCompare(group.x + group.width / 2, 475, 1)
        compare(icon.status, Image.Ready)
        compare(icon.height, 40)
        compare(group.spacing, 10)
        compare(header.height, group.height + 20)
    }

    // A click on the footer opens the maker's page once; the dot sits at the wordmark's corner.
    function test_footer() {
        const footer = createTemporaryObject(footerComponent, testCase)
        waitForRendering(footer)
        const wordmark = findChild(footer, "footerWordmark")
        const dot = findChild(footer, "footerDot")
        compare(Qt.point(dot.x, dot.y), Qt.point(wordmark.width - 4 - 1, -1))
        const copyright = findChild(footer, "footerCopyright")
        fuzzyCompare(copyright.y + copyright.baselineOffset, wordmark.y + wordmark.baselineOffset, 0.5)
        mouseClick(copyright)
        mouseClick(wordmark)
        const site = String(ViewHelpers.makerSiteUrl)
        compare(TestSupport.takeOpenedUrls(), [site, site])
        verify(site.indexOf(".example/") > 0)
    }
}
