// Clicks the form's submit control, or else a button reading "zaloguj"/"loguj".
(function() {
    var selectors = ['button[type="submit"]', 'input[type="submit"]'];
    for (var i = 0; i < selectors.length; i++) {
        var el = document.querySelector(selectors[i]);
        if (el) {
            el.click();
            return true;
        }
    }
    var buttons = document.querySelectorAll('button');
    for (var j = 0; j < buttons.length; j++) {
        var text = (buttons[j].textContent || '').trim().toLowerCase();
        if (text.includes('zaloguj') || text.includes('loguj')) {
            buttons[j].click();
            return true;
        }
    }
    return false;
})
