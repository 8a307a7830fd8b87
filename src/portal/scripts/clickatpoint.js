// Clicks whatever element lies at the viewport point.
(function(x, y) {
    var el = document.elementFromPoint(x, y);
    if (el) {
        el.click();
        return true;
    }
    return false;
})
