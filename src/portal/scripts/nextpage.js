(function() {
    var pagination = document.querySelector('sh-pagination, [class*="pagination"]');
    if (!pagination) {
        return false;
    }
    var controls = pagination.querySelectorAll('button, a');
    function namesNext(text) {
        return text.indexOf('następn') !== -1 || text.indexOf('next') !== -1;
    }
    for (var i = 0; i < controls.length; i++) {
        var control = controls[i];
        var ariaLabel = (control.getAttribute('aria-label') || '').toLowerCase();
        var title = (control.getAttribute('title') || '').toLowerCase();
        var text = (control.innerText || '').trim().toLowerCase();
        var iconElement = control.querySelector('mat-icon, .material-icons');
        var icon = iconElement ? (iconElement.textContent || '').trim() : '';
        var named = namesNext(ariaLabel) || namesNext(title) || namesNext(text)
            || icon === 'chevron_right' || icon === 'navigate_next' || icon === 'arrow_forward';
        if (!named) {
            continue;
        }
        // Links have no disabled state.
        if (control.tagName !== 'A' && control.disabled) {
            continue;
        }
        control.click();
        return true;
    }
    var numbered = [];
    var current = null;
    for (var j = 0; j < controls.length; j++) {
        var label = (controls[j].innerText || '').trim();
        if (!/^[0-9]+$/.test(label)) {
            continue;
        }
        var number = parseInt(label, 10);
        numbered.push({ control: controls[j], number: number });
        var className = typeof controls[j].className === 'string' ? controls[j].className : '';
        if (className.indexOf('active') !== -1 || className.indexOf('current') !== -1
            || controls[j].getAttribute('aria-current') === 'page') {
            current = number;
        }
    }
    if (current !== null) {
        for (var k = 0; k < numbered.length; k++) {
            if (numbered[k].number === current + 1) {
                numbered[k].control.click();
                return true;
            }
        }
    }
    return false;
})()
