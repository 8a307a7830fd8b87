// Installed in every document of the portal before its own scripts: numbers the page's fetch and
// XMLHttpRequest calls and keeps those still open, so that a step can tell when the portal has answered it.
(function() {
    if (window.__velmoriaRequests) {
        return;
    }
    var documentId = Date.now().toString(36) + '-' + Math.random().toString(36).slice(2);
    var started = [];
    var open = {};
    var lastEnded = performance.now();

    function begin(address) {
        started.push(String(address));
        open[started.length] = true;
        return started.length;
    }
    function end(number) {
        if (open[number]) {
            delete open[number];
            lastEnded = performance.now();
        }
    }

    var xhrOpen = XMLHttpRequest.prototype.open;
    var xhrSend = XMLHttpRequest.prototype.send;
    XMLHttpRequest.prototype.open = function(method, address) {
        this.__velmoriaAddress = address;
        return xhrOpen.apply(this, arguments);
    };
    XMLHttpRequest.prototype.send = function() {
        var number = begin(this.__velmoriaAddress);
        // loadend follows load, error, abort and timeout alike, and comes within send() for a synchronous request.
        this.addEventListener('loadend', function() { end(number); });
        try {
            return xhrSend.apply(this, arguments);
        } catch (error) {
            end(number);
            throw error;
        }
    };
    if (window.fetch) {
        var pageFetch = window.fetch;
        window.fetch = function(input) {
            var number = begin(input && input.url ? input.url : input);
            try {
                var answer = pageFetch.apply(this, arguments);
                // Settled once the answer's headers came; its body is read within the settling read.
                answer.then(function() { end(number); }, function() { end(number); });
                return answer;
            } catch (error) {
                end(number);
                throw error;
            }
        };
    }

    function openAddresses(after) {
        var addresses = [];
        Object.keys(open).forEach(function(number) {
            if (Number(number) > after) {
                addresses.push(started[number - 1]);
            }
        });
        return addresses;
    }

    Object.defineProperty(window, '__velmoriaRequests', { value: Object.freeze({
        // Where the count stands now: taken in the same script that acts on the page.
        mark: function() {
            return { document: documentId, started: started.length, open: openAddresses(0) };
        },
        // The requests begun after the mark, leaving out addresses that were open at the mark (long polls,
        // notifications); in another document, all of its own.
        since: function(document, mark, ignored) {
            var from = document === documentId ? mark : 0;
            var skip = document === documentId ? ignored : [];
            var began = 0;
            for (var number = from + 1; number <= started.length; number++) {
                if (skip.indexOf(started[number - 1]) === -1) {
                    began++;
                }
            }
            var stillOpen = openAddresses(from).filter(function(address) { return skip.indexOf(address) === -1; });
            return { document: documentId, began: began, open: stillOpen.length,
                quiet: Math.round(performance.now() - lastEnded) };
        }
    }) });
})();
