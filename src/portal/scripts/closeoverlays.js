(function() {
    var count = 0;
    var closeSelectors = [
        '.cdk-overlay-container button[aria-label="Close"]',
        '.cdk-overlay-container button[aria-label="Zamknij"]',
        '[role="dialog"] button[aria-label="Close"]',
        '.mat-snack-bar-container button'
    ];
    for (var i = 0; i < closeSelectors.length; i++) {
        try {
            var found = document.querySelectorAll(closeSelectors[i]);
            for (var j = 0; j < found.length; j++) {
                if (found[j].offsetParent !== null) {
                    found[j].click();
                    count++;
                }
            }
        } catch (e) {
        }
    }
    try {
        var words = ['zamknij', 'ok', 'rozumiem', 'close'];
        var buttons = document.querySelectorAll('.cdk-overlay-container button, mat-dialog-container button');
        for (var k = 0; k < buttons.length; k++) {
            var text = (buttons[k].textContent || '').trim().toLowerCase();
            if (words.indexOf(text) !== -1 && buttons[k].offsetParent !== null) {
                buttons[k].click();
                count++;
            }
        }
    } catch (e) {
    }
    document.dispatchEvent(new KeyboardEvent('keydown', { key: 'Escape', bubbles: true }));
    return count;
})()
