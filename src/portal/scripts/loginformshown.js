// Whether the page shows the login form: a field for the login and one for the password, as the login
// fills them. A portal whose session has expired sends the browser back there.
(function(loginSelectors, passwordSelectors) {
    function any(selectors) {
        return selectors.some(function(selector) { return document.querySelector(selector) !== null; });
    }
    return any(loginSelectors) && any(passwordSelectors);
})
