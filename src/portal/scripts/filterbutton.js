(function() {
    var buttons = document.querySelectorAll('button');
    for (var i = 0; i < buttons.length; i++) {
        var text = (buttons[i].innerText || '').toLowerCase();
        if (text.indexOf('filtruj') !== -1 || text.indexOf('szukaj') !== -1 || text.indexOf('zastosuj') !== -1) {
            buttons[i].click();
            return true;
        }
        var icon = buttons[i].querySelector('mat-icon, .material-icons');
        if (icon) {
            var iconText = (icon.textContent || '').trim();
            if (iconText === 'search' || iconText === 'filter_list') {
                buttons[i].click();
                return true;
            }
        }
    }
    return false;
})()
