// Reports to the fake portal what the page's inputs receive, so tests can compare it exactly.
(function() {
    // Reports travel in parallel; "order" keeps the page's own sequence.
    var order = 0;
    function record(entry) {
        entry.order = ++order;
        fetch('/api/record', {
            method: 'POST',
            headers: { 'Content-Type': 'application/json' },
            body: JSON.stringify(entry),
            keepalive: true
        });
    }
    window.portalRecord = record;

    function fieldName(el) {
        return el.getAttribute('formcontrolname') || el.name || el.id || el.type;
    }

    // Catch the raw text handed to the value setter, before the browser strips line breaks.
    var native = Object.getOwnPropertyDescriptor(HTMLInputElement.prototype, 'value');
    Object.defineProperty(HTMLInputElement.prototype, 'value', {
        configurable: true,
        enumerable: native.enumerable,
        get: function() { return native.get.call(this); },
        set: function(v) {
            record({ kind: 'set', field: fieldName(this), value: String(v) });
            native.set.call(this, v);
        }
    });

    ['input', 'change', 'focus'].forEach(function(type) {
        document.addEventListener(type, function(event) {
            if (event.target instanceof HTMLInputElement)
                record({ kind: type, field: fieldName(event.target), value: native.get.call(event.target),
                         focused: document.activeElement === event.target });
        }, true);
    });

    var stored = {};
    for (var i = 0; i < localStorage.length; i++)
        stored[localStorage.key(i)] = localStorage.getItem(localStorage.key(i));
    var session = {};
    for (var j = 0; j < sessionStorage.length; j++)
        session[sessionStorage.key(j)] = sessionStorage.getItem(sessionStorage.key(j));
    record({ kind: 'storage', page: location.pathname, local: stored, session: session });
})();
