// Fills the first Material form field whose label contains the given text and that has a control.
(function(label, value, controlSelector, blur) {
    var fields = document.querySelectorAll('mat-form-field');
    for (var i = 0; i < fields.length; i++) {
        var labelElement = fields[i].querySelector('mat-label');
        if (!labelElement || !(labelElement.textContent || '').includes(label))
            continue;
        var control = fields[i].querySelector(controlSelector);
        if (!control)
            continue;
        control.focus();
        control.value = value;
        control.dispatchEvent(new Event('input', { bubbles: true }));
        control.dispatchEvent(new Event('change', { bubbles: true }));
        if (blur)
            control.dispatchEvent(new Event('blur', { bubbles: true }));
        return true;
    }
    return false;
})
