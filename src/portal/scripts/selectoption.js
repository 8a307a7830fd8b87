(function() {
    var value = __VALUE__;
    var options = document.querySelectorAll('mat-option, .mat-option, .mat-mdc-option, [role="option"]');
    var firstRendered = null;
    for (var i = 0; i < options.length; i++) {
        if (options[i].offsetParent === null) {
            continue;
        }
        if (firstRendered === null) {
            firstRendered = options[i];
        }
        if ((options[i].textContent || '').trim().indexOf(value) !== -1) {
            options[i].click();
            return true;
        }
    }
    if (firstRendered !== null) {
        firstRendered.click();
        return true;
    }
    return false;
})()
