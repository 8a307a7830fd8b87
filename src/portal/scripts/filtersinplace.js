// The first filter that is not in place just before the search, by its name; null when all are. Each text
// field (label, control selector) must hold a value, whatever form the page gave it, and the status select
// must show the chosen status (an empty text where the status is not set).
(function(fields, status) {
    function control(label, selector) {
        var found = document.querySelectorAll('mat-form-field');
        for (var i = 0; i < found.length; i++) {
            var labelElement = found[i].querySelector('mat-label');
            if (!labelElement || (labelElement.textContent || '').indexOf(label) === -1) {
                continue;
            }
            var match = found[i].querySelector(selector);
            if (match) {
                return match;
            }
        }
        return null;
    }
    for (var i = 0; i < fields.length; i++) {
        var field = control(fields[i][0], fields[i][1]);
        if (!field || String(field.value || '').length === 0) {
            return fields[i][0];
        }
    }
    if (status) {
        var select = control('Status', 'mat-select, .mat-select, .mat-mdc-select');
        if (!select) {
            return 'Status';
        }
        if ((select.textContent || '').indexOf(status) === -1) {
            return status;
        }
    }
    return null;
})
