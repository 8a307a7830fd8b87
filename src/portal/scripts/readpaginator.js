function() {
    // The paginator's reading: current page and number of pages, the range "a - b z n" where it shows one, and
    // its text as a whole; null numbers where it shows none.
    var paginator = document.querySelector('sh-pagination, [class*="pagination"], [class*="paginator"]');
    if (!paginator) {
        return { current: null, total: null, text: null };
    }
    var text = paginator.innerText || '';
    // Numbers may be written in groups of three ("1 701 - 1 730 z 1 730"); cut at a space, the count would read 1.
    var number = '(\\d{1,3}(?:[ \\u00a0\\u202f]\\d{3})+(?!\\d)|\\d+)';
    function read(digits) { return parseInt(digits.replace(/[ \u00a0\u202f]/g, ''), 10); }
    var range = text.match(new RegExp(number + '\\s*-\\s*' + number + '\\s+z\\s+' + number));
    if (range) {
        // Digits just before the range (the page size, "50 151 - 200 z 1 730") read as its first group: dropped.
        var firstDigits = range[1];
        while (read(firstDigits) > read(range[2]) && /[ \u00a0\u202f]/.test(firstDigits)) {
            firstDigits = firstDigits.replace(/^\d+[ \u00a0\u202f]/, '');
        }
        var first = read(firstDigits);
        var last = read(range[2]);
        var count = read(range[3]);
        var pageSize = last - first + 1;
        // The range itself too: a short last page gives a smaller size, and the range tells the last page and
        // where the page stands in the list. A division that is not finite is written as null.
        return { current: Math.ceil(first / pageSize), total: Math.ceil(count / pageSize),
            range: [first, last, count], text: text };
    }
    var pages = text.match(/(\d+)\s*\/\s*(\d+)/) || text.match(/(\d+)\s+z\s+(\d+)/);
    if (pages) {
        return { current: parseInt(pages[1], 10), total: parseInt(pages[2], 10), text: text };
    }
    return { current: null, total: null, text: text };
}
