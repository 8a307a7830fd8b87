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

    function test_themeColours_data() {
        return [
            { tag: "navy", name: "navy", hex: "#1b2a4a" }, { tag: "accentLime", name: "accentLime", hex: "#def71c" },
            { tag: "accentLimeDark", name: "accentLimeDark", hex: "#c8e000" },
            { tag: "appBackground", name: "appBackground", hex: "#f5f6f8" },
            { tag: "cardBackground", name: "cardBackground", hex: "#ffffff" }, { tag: "border", name: "border", hex: "#d8dce6" },
            { tag: "fieldBackground", name: "fieldBackground", hex: "#ffffff" },
            { tag: "textPrimary", name: "textPrimary", hex: "#1b2a4a" },
            { tag: "textSecondary", name: "textSecondary", hex: "#6b7b99" }, { tag: "errorRed", name: "errorRed", hex: "#d32f2f" },
            { tag: "headerBackground", name: "headerBackground", hex: "#e8ebf2" }
        ]
    }
    function test_themeColours(data) {
        compare(String(Theme[data.name]), data.hex)
        compare(Theme[data.name].a, 1)
    }

    function test_themeFonts_data() {
        return [
            { tag: "labelBold", name: "labelBold", size: 12, bold: true },
            { tag: "labelRegular", name: "labelRegular", size: 12, bold: false },
            { tag: "captionSmall", name: "captionSmall", size: 11, bold: false },
            { tag: "bodyText", name: "bodyText", size: 13, bold: false },
            { tag: "buttonText", name: "buttonText", size: 14, bold: false },
            { tag: "statValue", name: "statValue", size: 22, bold: true },
            { tag: "sectionTitle", name: "sectionTitle", size: 16, bold: true }
        ]
    }
    function test_themeFonts(data) {
        compare(Theme[data.name].pixelSize, data.size)
        compare(Theme[data.name].bold, data.bold)
    }

    // Hovering one primary button darkens and grows it alone; leaving reverses it.
    function test_primaryHover() {
        const pair = createTemporaryObject(twoPrimaries, testCase)
        waitForRendering(pair)
        const first = pair.first
        const second = pair.second
        compare(first.height, 44)
        compare(first.width, 400)
        compare(first.isHovered, false)
        mouseMove(first, first.width / 2, first.height / 2)
        tryCompare(first, "isHovered", true)
        compare(second.isHovered, false)
        tryCompare(first, "scale", 1.02)
        tryCompare(findChild(first, "hoverFill"), "opacity", 1)
        compare(second.scale, 1)
        mouseMove(testCase, 900, 580)
        tryCompare(first, "isHovered", false)
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
        compare(findChild(button, "hoverFill").opacity, 0)
        compare(findChild(button, "pressFill").visible, false)
        mouseMove(button, 10, 10)
        tryCompare(button, "isHovered", true)
        mousePress(button, 10, 10)
        // No animation for the press: the full fill is there at once.
        compare(findChild(button, "pressFill").visible, true)
        mouseRelease(button, 10, 10)
        compare(findChild(button, "pressFill").visible, false)
        compare(button.isHovered, true)
        tryCompare(findChild(button, "hoverFill"), "opacity", 0.5)
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
        const captionPos = caption.mapToItem(row, 0, 0)
        compare(captionPos.x, 16)
        compare(captionPos.y, 4)
        const fieldPos = row.field.mapToItem(row, 0, 0)
        compare(fieldPos.x, 16)
        compare(fieldPos.y, 4 + caption.height + 2)
        compare(row.field.width, 400 - 32)
    }

    // Statistic cards share their row's width; the value starts 10 px below the top.
    function test_statCards() {
        const row = createTemporaryObject(statRow, testCase)
        waitForRendering(row)
        const cards = row.children
        // The layout rounds to whole pixels.
        fuzzyCompare(cards[0].width, cards[1].width, 1)
        fuzzyCompare(cards[1].width, cards[2].width, 1)
        fuzzyCompare(cards[0].width, (600 - 16) / 3, 1)
        const value = findChild(cards[0], "statValue")
        compare(value.topPadding, 10)
        compare(value.font.pixelSize, 22)
        compare(findChild(cards[0], "statLabel").bottomPadding, 10)
    }

    // The header centres the 40 px icon and the title block with 10 px between them.
    function test_header() {
        const header = createTemporaryObject(headerComponent, testCase)
        waitForRendering(header)
        const group = findChild(header, "headerGroup")
        fuzzyCompare(group.x + group.width / 2, 475, 1)
        compare(findChild(header, "portalIcon").height, 40)
        compare(findChild(header, "portalIcon").width, 40)
        compare(findChild(header, "portalIcon").status, Image.Ready)
        compare(group.spacing, 10)
        compare(header.height, group.height + 20)
        compare(findChild(header, "headerTitle").text, "Portal Informacyjny")
    }

    // A click on the footer opens the maker's page once; the dot sits at the wordmark's corner.
    function test_footer() {
        const footer = createTemporaryObject(footerComponent, testCase)
        waitForRendering(footer)
        const wordmark = findChild(footer, "footerWordmark")
        const dot = findChild(footer, "footerDot")
        compare(dot.x, wordmark.width - 4 - 1)
        compare(dot.y, -1)
        const copyright = findChild(footer, "footerCopyright")
        fuzzyCompare(copyright.y + copyright.baselineOffset, wordmark.y + wordmark.baselineOffset, 0.5)
        mouseClick(copyright)
        mouseClick(wordmark)
        compare(TestSupport.takeOpenedUrls(), [String(ViewHelpers.makerSiteUrl), String(ViewHelpers.makerSiteUrl)])
        verify(String(ViewHelpers.makerSiteUrl).indexOf(".example/") > 0)
    }
}
