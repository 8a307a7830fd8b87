// Shared look-ups and set-up for the UI tests.

// Every visible text shown under item, in tree order.
function visibleTexts(item) {
    if (!item || !item.visible)
        return []
    let texts = typeof item.text === "string" && item.hasOwnProperty("wrapMode") ? [item.text] : []
    const children = item.children || []
    for (let i = 0; i < children.length; ++i)
        texts = texts.concat(visibleTexts(children[i]))
    return texts
}

// Fails unless every text of shown is under item and none of hidden is.
function verifyTexts(testCase, item, shown, hidden) {
    const texts = visibleTexts(item)
    for (const text of shown)
        testCase.verify(texts.indexOf(text) >= 0, "missing " + text + " in " + JSON.stringify(texts))
    for (const text of hidden || [])
        testCase.verify(texts.indexOf(text) < 0, "unexpected " + text)
}

const filterNames = ["status", "dataOd", "dataDo", "podmiot", "przedmiot"]

function filters(viewModel) {
    return filterNames.map(name => ViewHelpers.filterValue(viewModel.filters, name))
}

function setFilters(viewModel, values) {
    filterNames.forEach((name, i) => viewModel.setFilter(name, values[i]))
}

// A screen over controller (the test's own by default); views go before their controller in destroyViews.
function makeView(testCase, component, controller) {
    const view = component.createObject(testCase, { viewModel: controller || testCase.viewModel })
    testCase.verify(view)
    testCase.made.push(view)
    return view
}

function destroyViews(testCase) {
    testCase.made.forEach(view => view.destroy())
    testCase.made = []
    testCase.viewModel.destroy()
    testCase.viewModel = null
}
