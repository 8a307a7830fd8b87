// The page's requests since a step's mark (arguments: document, count at the mark, addresses open then);
// null in a document without the counter.
(function(document, mark, ignored) {
    var counter = window.__velmoriaRequests;
    return counter ? counter.since(document, mark, ignored) : null;
})
