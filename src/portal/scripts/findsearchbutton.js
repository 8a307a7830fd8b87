function() {
    // The list's search button: by its text, else by its icon, buttons taken in document order.
    var buttons = document.querySelectorAll('button');
    for (var i = 0; i < buttons.length; i++) {
        var text = (buttons[i].innerText || '').toLowerCase();
        if (text.indexOf('filtruj') !== -1 || text.indexOf('szukaj') !== -1 || text.indexOf('zastosuj') !== -1) {
            return buttons[i];
        }
        var icon = buttons[i].querySelector('mat-icon, .material-icons');
        if (icon) {
            var iconText = (icon.textContent || '').trim();
            if (iconText === 'search' || iconText === 'filter_list') {
                return buttons[i];
            }
        }
    }
    return null;
}
