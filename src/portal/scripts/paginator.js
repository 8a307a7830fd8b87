(function() {
    var paginator = document.querySelector('sh-pagination, [class*="pagination"], [class*="paginator"]');
    if (!paginator) {
        return JSON.stringify({ current: null, total: null });
    }
    var text = paginator.innerText || '';
    var range = text.match(/(\d+)\s*-\s*(\d+)\s+z\s+(\d+)/);
    if (range) {
        var first = parseInt(range[1], 10);
        var last = parseInt(range[2], 10);
        var count = parseInt(range[3], 10);
        var pageSize = last - first + 1;
        var reading = { current: Math.ceil(first / pageSize), total: Math.ceil(count / pageSize) };
        // The range itself too: a short last page gives a smaller size, and the range tells the last page and
        // where the page stands in the list. Not where the count goes on in groups of three ("z 1 730").
        if (!/^[ \u00a0\u202f]\d{3}(?!\d)/.test(text.slice(range.index + range[0].length))) {
            reading.range = [first, last, count];
        }
        return JSON.stringify(reading);
    }
    var pages = text.match(/(\d+)\s*\/\s*(\d+)/) || text.match(/(\d+)\s+z\s+(\d+)/);
    if (pages) {
        return JSON.stringify({ current: parseInt(pages[1], 10), total: parseInt(pages[2], 10) });
    }
    return JSON.stringify({ current: null, total: null });
})()
