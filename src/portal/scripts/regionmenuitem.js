(function() {
    var shortName = __SHORT_NAME__;
    var container = document.querySelector('.cdk-overlay-container');
    if (!container) {
        return false;
    }
    var wanted = shortName.toLowerCase();
    var items = container.querySelectorAll('button, [role="menuitem"], .mat-mdc-menu-item');
    for (var i = 0; i < items.length; i++) {
        var text = (items[i].textContent || '').trim()
            .split('expand_more').join('')
            .split('arrow_drop_down').join('')
            .trim();
        if (text.toLowerCase().indexOf(wanted) !== -1) {
            items[i].click();
            return true;
        }
    }
    return false;
})()
