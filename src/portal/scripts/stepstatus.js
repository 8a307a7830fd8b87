// A step's requests since its mark (arguments: document, count at the mark, paths open then) and what the list
// shows now; null requests in a document without the counter.
(function(markedDocument, mark, pagePaths) {
    var counter = window.__velmoriaRequests;
    var readList = __READ_LIST__;
    return { requests: counter ? counter.since(markedDocument, mark, pagePaths) : null, list: readList() };
})
