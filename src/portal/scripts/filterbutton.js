(function() {
    var button = (__FIND_SEARCH_BUTTON__)();
    if (button === null) {
        return false;
    }
    button.click();
    return true;
})()
