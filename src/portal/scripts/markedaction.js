// Runs a step's action with the page's request count marked right before it; nothing can begin between.
(function() {
    var counter = window.__velmoriaRequests;
    var mark = counter ? counter.mark() : null;
    var value = (__ACTION__);
    return { mark: mark, value: value === undefined ? null : value };
})()
