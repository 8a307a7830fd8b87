(function() {
    var options = document.querySelectorAll('mat-option, .mat-option, .mat-mdc-option, [role="option"]');
    var best = null;
    var bestNumber = 0;
    for (var i = 0; i < options.length; i++) {
        var number = parseInt((options[i].textContent || '').trim(), 10);
        if (number > bestNumber) {
            best = options[i];
            bestNumber = number;
        }
    }
    if (best !== null) {
        best.click();
        return bestNumber;
    }
    return 0;
})()
