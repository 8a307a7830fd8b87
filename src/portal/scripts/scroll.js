(function() {
    var container = document.querySelector('mat-sidenav-content, .mat-sidenav-content, main, [role="main"]');
    if (container) {
        container.scrollTop = container.scrollHeight;
        return 'scrolled:' + container.scrollHeight;
    }
    window.scrollTo(0, document.body.scrollHeight);
    return 'window';
})()
