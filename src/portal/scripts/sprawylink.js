(function() {
    var selectors = ['a', 'mat-list-item', '[role="listitem"]'];
    for (var i = 0; i < selectors.length; i++) {
        var found = document.querySelectorAll(selectors[i]);
        for (var j = 0; j < found.length; j++) {
            var text = (found[j].textContent || '').trim();
            var rect = found[j].getBoundingClientRect();
            if (text.indexOf('Sprawy') !== -1 && rect.x < 350 && rect.width > 0) {
                found[j].click();
                return true;
            }
        }
    }
    return false;
})()
