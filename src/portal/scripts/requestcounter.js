// Installed in every document of the portal before its own scripts. Numbers the page's fetch and
// XMLHttpRequest calls with their outcome, and counts the changes to the case list (its rows and its
// paginator), so that a step can tell what the portal has answered it and when the list last changed.
// A request is known by its method and path ("GET /api/sprawy"); its query is left aside, since a long poll
// carries a new cursor each time.
(function() {
    if (window.__velmoriaRequests) {
        return;
    }
    var documentId = Date.now().toString(36) + '-' + Math.random().toString(36).slice(2);
    // Each request: its method and path, its outcome ('ok', 'error' for an error status, 'broken' for a
    // connection that failed, or null while open) and whether a step's action script began it.
    var requests = [];
    // The open ones by number, for the mark.
    var open = {};
    var acting = false;
    var listChanges = 0;

    function pathOf(method, address) {
        var path;
        try {
            path = new URL(String(address), location.href).pathname;
        } catch (e) {
            path = String(address).split('?')[0];
        }
        return String(method || 'GET').toUpperCase() + ' ' + path;
    }
    // @p action: begun by a step's action, or reading the body of a request that was.
    function begin(method, address, action) {
        requests.push({ path: pathOf(method, address), outcome: null, action: action || acting });
        open[requests.length] = true;
        return requests.length;
    }
    function end(number, outcome) {
        var request = requests[number - 1];
        if (request && request.outcome === null) {
            request.outcome = outcome;
            delete open[number];
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
        var xhr = this;
        // loadend follows load, error, abort and timeout alike; only load brings an answer.
        var outcome = 'broken';
        this.addEventListener('load', function() { outcome = xhr.status >= 400 ? 'error' : 'ok'; }, { once: true });
        this.addEventListener('loadend', function() { end(number, outcome); }, { once: true });
        try {
            return xhrSend.apply(this, arguments);
        } catch (error) {
            end(number, 'broken');
            throw error;
        }
    };

    if (window.fetch) {
        var pageFetch = window.fetch;
        // Reading a counted answer's body is a request of its own, open until the body has come.
        var answers = new WeakMap();
        var watched = new WeakSet();
        function readBody(request, reading) {
            var number = begin(request[0], request[1], request[2]);
            reading.then(function() { end(number, 'ok'); }, function() { end(number, 'broken'); });
        }
        // A body read as a stream: by a reader, or by piping it, which the engine does with a reader of its
        // own. A stream piped through a transform, or teed, is read once what comes out of it is: that is
        // watched in turn. The stream's own methods are wrapped, never its response's body getter, so a page
        // that looks at the body and then reads it whole still can.
        function watchStream(stream, request) {
            if (!stream || watched.has(stream)) {
                return;
            }
            watched.add(stream);
            ['getReader', 'pipeTo', 'pipeThrough', 'tee'].forEach(function(name) {
                var method = stream[name];
                if (typeof method !== 'function') {
                    return;
                }
                Object.defineProperty(stream, name, { configurable: true, writable: true, value: function() {
                    var result = method.apply(this, arguments);
                    if (name === 'pipeThrough') {
                        watchStream(result, request);
                    } else if (name === 'tee') {
                        result.forEach(function(branch) { watchStream(branch, request); });
                    } else {
                        var read = begin(request[0], request[1], request[2]);
                        if (name === 'getReader') {
                            watchReader(result, read);
                        } else {
                            result.then(function() { end(read, 'ok'); }, function() { end(read, 'broken'); });
                        }
                    }
                    return result;
                } });
            });
        }
        function watchReader(reader, number) {
            var read = reader.read;
            reader.read = function() {
                var chunk = read.apply(this, arguments);
                chunk.then(function(result) {
                    if (result.done) {
                        end(number, 'ok');
                    }
                }, function() { end(number, 'broken'); });
                return chunk;
            };
            ['cancel', 'releaseLock'].forEach(function(name) {
                var method = reader[name];
                reader[name] = function() {
                    end(number, 'ok');
                    return method.apply(this, arguments);
                };
            });
        }
        function track(response, request) {
            answers.set(response, request);
            watchStream(response.body, request);
        }
        window.fetch = function(input, init) {
            var isRequest = typeof Request !== 'undefined' && input instanceof Request;
            var request = [init && init.method ? init.method : (isRequest ? input.method : 'GET'),
                isRequest ? input.url : String(input), acting];
            var number = begin(request[0], request[1]);
            var answer;
            try {
                answer = pageFetch.apply(this, arguments);
            } catch (error) {
                end(number, 'broken');
                throw error;
            }
            // Status 0 is an opaque answer (no-cors, a redirect not followed), not a failure.
            answer.then(function(response) {
                track(response, request);
                end(number, response.status >= 400 ? 'error' : 'ok');
            }, function() { end(number, 'broken'); });
            return answer;
        };
        ['arrayBuffer', 'blob', 'formData', 'json', 'text'].forEach(function(name) {
            var read = Response.prototype[name];
            if (!read) {
                return;
            }
            Response.prototype[name] = function() {
                var request = answers.get(this);
                var body = read.apply(this, arguments);
                if (request) {
                    readBody(request, body);
                }
                return body;
            };
        });
        // A clone is read like its original; cloning gives the original a new body stream as well.
        var clone = Response.prototype.clone;
        Response.prototype.clone = function() {
            var copy = clone.apply(this, arguments);
            var request = answers.get(this);
            if (request) {
                track(this, request);
                track(copy, request);
            }
            return copy;
        };
    }

    // The case list: its tables, rows and paginator. A change inside one, or one added or removed, counts.
    var listSelector = 'mat-table, table, [role="table"], [role="grid"], mat-row, .mat-row, .mat-mdc-row, '
        + '[role="row"], cdk-row, .cdk-row, sh-pagination, [class*="pagination"], [class*="paginator"], '
        + '.mat-no-data-row, .mat-mdc-no-data-row';
    function insideList(node) {
        var element = node.nodeType === 1 ? node : node.parentElement;
        return !!element && element.closest(listSelector) !== null;
    }
    function holdsList(node) {
        return node.nodeType === 1 && (node.matches(listSelector) || node.querySelector(listSelector) !== null);
    }
    new MutationObserver(function(records) {
        for (var i = 0; i < records.length; i++) {
            var record = records[i];
            if (insideList(record.target) || Array.prototype.some.call(record.addedNodes, holdsList)
                || Array.prototype.some.call(record.removedNodes, holdsList)) {
                listChanges++;
                return;
            }
        }
    }).observe(document, { childList: true, subtree: true, characterData: true });

    function openPaths() {
        return Object.keys(open).map(function(number) { return requests[number - 1].path; });
    }

    Object.defineProperty(window, '__velmoriaRequests', { value: Object.freeze({
        // Where the count stands now, with the paths of the requests open now and the list's changes so far:
        // taken in the script that acts.
        mark: function() {
            return { document: documentId, started: requests.length, open: openPaths(), changes: listChanges };
        },
        // Runs a step's action: what it begins is the step's whatever its path.
        act: function(action) {
            acting = true;
            try {
                return action();
            } finally {
                acting = false;
            }
        },
        // The step's requests: those begun after the mark, but for those whose path was open at the mark (long
        // polls, notifications) and which the action did not begin; in another document, all of its own.
        since: function(document, mark, pagePaths) {
            var sameDocument = document === documentId;
            var status = { document: documentId, otherDocument: !sameDocument, began: 0, open: 0, succeeded: 0,
                failed: 0, listChanges: listChanges };
            for (var number = sameDocument ? mark : 0; number < requests.length; number++) {
                var request = requests[number];
                if (sameDocument && !request.action && pagePaths.indexOf(request.path) !== -1) {
                    continue;
                }
                status.began++;
                if (request.outcome === null) {
                    status.open++;
                } else if (request.outcome === 'ok') {
                    status.succeeded++;
                } else {
                    status.failed++;
                }
            }
            return status;
        }
    }) });
})();
