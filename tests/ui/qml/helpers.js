// Shared look-ups and set-up for the UI tests.

// Every visible text shown under item, in tree order.
function visibleTexts(item) {
    let texts = []
    if (!item || !item.visible)
        return texts
    if (typeof item.text === "string" && item.hasOwnProperty("wrapMode"))
        texts.push(item.text)
    const children = item.children || []
    for (let i = 0; i < children.length; ++i)
        texts = texts.concat(visibleTexts(children[i]))
    return texts
}

// Fails the test unless every expected text is shown under item.
function verifyTexts(testCase, item, expected) {
    const texts = visibleTexts(item)
    for (const text of expected)
        testCase.verify(texts.indexOf(text) >= 0, "missing " + text + " in " + JSON.stringify(texts))
}

// The controller's five filters, in record order.
function filters(viewModel) {
    return ["status", "dataOd", "dataDo", "podmiot", "przedmiot"].map(name => ViewHelpers.filterValue(viewModel.filters, name))
}

function setFilters(viewModel, values) {
    const names = ["status", "dataOd", "dataDo", "podmiot", "przedmiot"]
    names.forEach((name, i) => viewModel.setFilter(name, values[i]))
}

// Types text by key clicks into the item that has focus.
function typeText(testCase, text) {
    for (const c of text)
        testCase.keyClick(c)
}

// A screen over controller (the test's real one by default); removed by destroyViews().
function makeView(testCase, component, controller) {
    const view = component.createObject(testCase, { viewModel: controller || testCase.viewModel })
    testCase.verify(view)
    testCase.made.push(view)
    return view
}

// Views go before their controller, so none is left bound to a destroyed one.
function destroyViews(testCase) {
    for (const view of testCase.made)
        view.destroy()
    testCase.made = []
    testCase.viewModel.destroy()
    testCase.viewModel = null
}
