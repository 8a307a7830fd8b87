// Clicks the paginator's control numbered with the given page; false where none shows that number.
(function(number) {
    var pagination = document.querySelector('sh-pagination, [class*="pagination"]');
    if (!pagination) {
        return false;
    }
    var controls = pagination.querySelectorAll('button, a');
    for (var i = 0; i < controls.length; i++) {
        if ((controls[i].innerText || '').trim() === String(number)) {
            controls[i].click();
            return true;
        }
    }
    return false;
})
