// Runs a step's action with a reading of the list and the page's request count taken right before it, in the
// same evaluation: nothing can happen between.
(function() {
    var counter = window.__velmoriaRequests;
    var readList = __READ_LIST__;
    var before = null;
    try {
        before = readList();
    } catch (e) {
    }
    var mark = counter ? counter.mark() : null;
    var action = function() { return (__ACTION__); };
    var value = counter ? counter.act(action) : action();
    return { mark: mark, before: before, value: value === undefined ? null : value };
})()
