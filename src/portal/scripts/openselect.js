(function() {
    var label = __LABEL__;
    var fields = document.querySelectorAll('mat-form-field');
    for (var i = 0; i < fields.length; i++) {
        var labelElement = fields[i].querySelector('mat-label');
        if (!labelElement || labelElement.textContent.indexOf(label) === -1) {
            continue;
        }
        var select = fields[i].querySelector('mat-select, .mat-select, .mat-mdc-select');
        if (select) {
            select.click();
            return true;
        }
    }
    return false;
})()
