// Installed in every document of the portal before its own scripts: numbers the page's fetch and
// XMLHttpRequest calls and keeps those still open, so that a step can tell when the portal has answered it.
// A request is known by its method and address ("GET /api/sprawy?page=2").
(function() {
    if (window.__velmoriaRequests) {
        return;
    }
    var documentId = Date.now().toString(36) + '-' + Math.random().toString(36).slice(2);
    var started = [];
    var open = {};
    var lastEnded = performance.now();

    function begin(method, address) {
        started.push(String(method || 'GET').toUpperCase() + ' ' + String(address));
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
        this.__velmoriaRequest = [method, address];
        return xhrOpen.apply(this, arguments);
    };
    XMLHttpRequest.prototype.send = function() {
        var request = this.__velmoriaRequest || ['GET', ''];
        var number = begin(request[0], request[1]);
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
        // The answers of counted requests: reading one's body is a request of its own, open until the body came.
        var answers = new WeakMap();
        window.fetch = function(input, init) {
            var isRequest = typeof Request !== 'undefined' && input instanceof Request;
            var method = init && init.method ? init.method : (isRequest ? input.method : 'GET');
            var address = isRequest ? input.url : String(input);
            var number = begin(method, address);
            try {
                var answer = pageFetch.apply(this, arguments);
                answer.then(function(response) {
                    answers.set(response, [method, address]);
                    end(number);
                }, function() { end(number); });
                return answer;
            } catch (error) {
                end(number);
                throw error;
            }
        };
        ['arrayBuffer', 'blob', 'formData', 'json', 'text'].forEach(function(name) {
            var read = Response.prototype[name];
            if (!read) {
                return;
            }
            Response.prototype[name] = function() {
                var request = answers.get(this);
                var number = request ? begin(request[0], request[1]) : 0;
                var body = read.apply(this, arguments);
                if (number) {
                    body.then(function() { end(number); }, function() { end(number); });
                }
                return body;
            };
        });
    }

    function openRequests(after) {
        var requests = [];
        Object.keys(open).forEach(function(number) {
            if (Number(number) > after) {
                requests.push(started[number - 1]);
            }
        });
        return requests;
    }

    Object.defineProperty(window, '__velmoriaRequests', { value: Object.freeze({
        // Where the count stands now: taken in the same script that acts on the page.
        mark: function() {
            return { document: documentId, started: started.length, open: openRequests(0) };
        },
        // The requests begun after the mark, leaving out those like one open at the mark (long polls,
        // notifications); in another document, all of its own.
        since: function(document, mark, ignored) {
            var sameDocument = document === documentId;
            var from = sameDocument ? mark : 0;
            var skip = sameDocument ? ignored : [];
            var began = 0;
            for (var number = from + 1; number <= started.length; number++) {
                if (skip.indexOf(started[number - 1]) === -1) {
                    began++;
                }
            }
            var stillOpen = openRequests(from).filter(function(request) { return skip.indexOf(request) === -1; });
            return { document: documentId, otherDocument: !sameDocument, began: began, open: stillOpen.length,
                quiet: Math.round(performance.now() - lastEnded) };
        }
    }) });
})();
