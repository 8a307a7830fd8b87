(function() {
    var best = null;
    var bestArea = Infinity;
    var elements = document.querySelectorAll('*');
    for (var i = 0; i < elements.length; i++) {
        var element = elements[i];
        var rect = element.getBoundingClientRect();
        if (rect.y > 250 || rect.height > 80 || rect.width < 30) {
            continue;
        }
        if (!(rect.width > 0) || !(rect.height > 0)) {
            continue;
        }
        var text = (element.textContent || '').trim();
        if (text.indexOf('Apelacja') !== 0 || text.length > 40) {
            continue;
        }
        var area = rect.width * rect.height;
        if (!(area < bestArea && area > 50)) {
            continue;
        }
        var target = element;
        var node = element;
        for (var step = 0; step < 8; step++) {
            var parent = node.parentElement;
            if (!parent) {
                break;
            }
            var parentRect = parent.getBoundingClientRect();
            if (parentRect.y > 250 || parentRect.height > 150) {
                break;
            }
            if (window.getComputedStyle(parent).cursor === 'pointer' || parent.tagName === 'BUTTON'
                || parent.classList.contains('mat-select') || parent.classList.contains('mat-mdc-select')) {
                target = parent;
            }
            node = parent;
        }
        var targetRect = target.getBoundingClientRect();
        best = {
            x: Math.round(targetRect.x + targetRect.width / 2),
            y: Math.round(targetRect.y + targetRect.height / 2)
        };
        bestArea = area;
    }
    return best;
})()
