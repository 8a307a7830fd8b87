// Clicks the first shown option holding the value; false when none does.
(function() {
    var value = __VALUE__;
    var options = document.querySelectorAll('mat-option, .mat-option, .mat-mdc-option, [role="option"]');
    for (var i = 0; i < options.length; i++) {
        if (options[i].offsetParent !== null && (options[i].textContent || '').trim().indexOf(value) !== -1) {
            options[i].click();
            return true;
        }
    }
    return false;
})()
