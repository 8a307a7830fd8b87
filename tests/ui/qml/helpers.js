// Shared look-ups for the UI tests.

// Every visible text shown under item, in tree order.
function visibleTexts(item) {
    let texts = []
    if (!item || !item.visible)
        return texts
    if (item.text !== undefined && typeof item.text === "string" && item.hasOwnProperty("font")
            && item.hasOwnProperty("wrapMode"))
        texts.push(item.text)
    const children = item.children || []
    for (let i = 0; i < children.length; ++i)
        texts = texts.concat(visibleTexts(children[i]))
    return texts
}

// The first visible item under root whose text equals text.
function findText(root, text) {
    if (!root || !root.visible)
        return null
    if (root.text === text && root.hasOwnProperty("wrapMode"))
        return root
    const children = root.children || []
    for (let i = 0; i < children.length; ++i) {
        const found = findText(children[i], text)
        if (found)
            return found
    }
    return null
}

// Types text by key clicks into the item that has focus.
function typeText(testCase, text) {
    for (let i = 0; i < text.length; ++i)
        testCase.keyClick(text[i])
}
