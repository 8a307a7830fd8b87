(function() {
    var reading = (__READ_PAGINATOR__)();
    return JSON.stringify({ current: reading.current, total: reading.total, range: reading.range });
})()
