// Reports to the fake portal what the page's fields receive and what web storage it starts with.
(function() {
    var order = 0; // reports travel in parallel; this keeps the page's own sequence
    function record(entry) {
        entry.order = ++order;
        fetch('/api/record', { method: 'POST', body: JSON.stringify(entry), keepalive: true });
    }
    function fieldName(el) { return el.getAttribute('formcontrolname') || el.name || el.id; }
    // The raw text handed to the value setter, before an input strips line breaks.
    [HTMLInputElement, HTMLTextAreaElement].forEach(function(type) {
        var native = Object.getOwnPropertyDescriptor(type.prototype, 'value');
        Object.defineProperty(type.prototype, 'value', { configurable: true, get: native.get, set: function(v) {
            record({ kind: 'set', field: fieldName(this), value: String(v) });
            native.set.call(this, v);
        } });
    });
    ['focus', 'input', 'change', 'blur'].forEach(function(type) {
        document.addEventListener(type, function(event) {
            // A field loses focus by itself when the next one takes it: only a dispatched blur counts.
            if (event.target.matches && event.target.matches('input, textarea') && !(type === 'blur' && event.isTrusted))
                record({ kind: type, field: fieldName(event.target), value: event.target.value });
        }, true);
    });
    record({ kind: 'storage', page: location.pathname, local: Object.assign({}, localStorage) });
})();
