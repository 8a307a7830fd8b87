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

    // One of each shared view, apart from each other so that hovering one leaves the rest alone.
    Component {
        id: gallery
        Item {
            anchors.fill: parent
            property alias header: header
            property alias first: first
            property alias second: second
            property alias secondary: secondary
            property alias picker: picker
            property alias card: card
            property alias cardLabel: cardLabel
            property alias fieldRow: fieldRow
            property alias field: field
            property alias stats: stats
            property alias footer: footer

            HeaderView { id: header; width: 950 }
            ColumnLayout {
                y: 100; width: 400; spacing: 20
                PrimaryButtonStyle { id: first; text: "Pierwszy" }
                PrimaryButtonStyle { id: second; text: "Drugi" }
            }
            Row {
                x: 450; y: 250; spacing: 8
                SecondaryButtonStyle { id: secondary; text: "Zmień" }
                FormPicker { id: picker; value: "W toku"; model: ["Wszystkie", "W toku"] }
            }
            CardView { id: card; x: 700; y: 100; accent: true; Text { id: cardLabel; text: "Krótki" } }
            FieldRow { id: fieldRow; y: 250; width: 400; label: "%1 Login"; FormTextField { id: field } }
            RowLayout {
                id: stats; y: 350; width: 600; spacing: 8
                StatCardView { value: "0"; label: "Spraw" }
                StatCardView { value: "3 / 12"; label: "Strona" }
                StatCardView { value: "62:05"; label: "Czas" }
            }
            TorbunFooter { id: footer; x: 300; y: 500 }
        }
    }

    property var views: null

    function init() {
        mouseMove(testCase, 940, 590)
        TestSupport.takeOpenedUrls()
        views = createTemporaryObject(gallery, testCase)
        waitForRendering(views)
    }

    // Hovering one primary button darkens and grows it alone; leaving reverses it.
    function test_primaryHover() {
        const first = views.first
        mouseMove(first, first.width / 2, first.height / 2)
        tryCompare(first, "scale", 1.02)
        tryCompare(findChild(first, "hoverFill"), "opacity", 1)
        compare(views.second.isHovered, false)
        compare(views.second.scale, 1)
        mouseMove(testCase, 940, 590)
        tryCompare(first, "scale", 1)
        tryCompare(findChild(first, "hoverFill"), "opacity", 0)
    }

    function test_focusMark_data() {
        return [
            { tag: "primary by keyboard", control: "first", reason: Qt.TabFocusReason, shown: true },
            { tag: "primary by mouse", control: "first", reason: Qt.MouseFocusReason, shown: false },
            { tag: "secondary by keyboard", control: "secondary", reason: Qt.TabFocusReason, shown: true },
            { tag: "picker by keyboard", control: "picker", reason: Qt.BacktabFocusReason, shown: true },
            { tag: "picker by mouse", control: "picker", reason: Qt.MouseFocusReason, shown: false },
            { tag: "text field by keyboard", control: "field", reason: Qt.TabFocusReason, shown: true },
            { tag: "text field by mouse", control: "field", reason: Qt.MouseFocusReason, shown: true }
        ]
    }

    // A control focused from the keyboard shows its focus mark, and no other control does; a button
    // or picker focused by the mouse shows none, a text field taking the keys does.
    function test_focusMark(data) {
        const names = ["first", "second", "secondary", "picker", "field"]
        const marks = names.map(name => findChild(views[name], "focusMark"))
        compare(marks.map(mark => mark.visible), names.map(() => false))
        views[data.control].forceActiveFocus(data.reason)
        compare(marks.map(mark => mark.visible), names.map(name => name === data.control && data.shown))
    }

    // A card is as large as its content; a row's caption is shown as typed, 16 px in and 4 px down,
    // 2 px above the control; statistic cards share their row's width; the header centres its loaded icon.
    function test_layout() {
        fuzzyCompare(views.card.width, views.cardLabel.implicitWidth, 1)
        const row = views.fieldRow
        const caption = findChild(row, "fieldCaption")
        compare(caption.text, "%1 Login")
        compare(caption.mapToItem(row, 0, 0), Qt.point(16, 4))
        compare(views.field.mapToItem(row, 0, 0), Qt.point(16, 4 + caption.height + 2))
        for (let i = 0; i < 3; ++i)
            fuzzyCompare(views.stats.children[i].width, (600 - 16) / 3, 1)
        const group = findChild(views.header, "headerGroup")
        fuzzyCompare(group.x + group.width / 2, 475, 1)
        compare(findChild(views.header, "portalIcon").status, Image.Ready)
    }

    // A click on the footer opens the maker's page once; the dot sits at the wordmark's corner.
    function test_footer() {
        const wordmark = findChild(views.footer, "footerWordmark")
        const dot = findChild(views.footer, "footerDot")
        compare(Qt.point(dot.x, dot.y), Qt.point(wordmark.width - 4 - 1, -1))
        const copyright = findChild(views.footer, "footerCopyright")
        fuzzyCompare(copyright.y + copyright.baselineOffset, wordmark.y + wordmark.baselineOffset, 0.5)
        mouseClick(copyright)
        mouseClick(wordmark)
        const site = String(ViewHelpers.makerSiteUrl)
        compare(TestSupport.takeOpenedUrls(), [site, site])
    }
}
