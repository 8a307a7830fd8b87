function() {
    // Shared by the rows and signature scripts so that both always look at the same rows.
    var selectors = ['mat-row', '.mat-row', '.mat-mdc-row', 'tr[mat-row]', 'table tbody tr', '[role="row"]',
        'cdk-row', '.cdk-row'];
    for (var i = 0; i < selectors.length; i++) {
        var found = null;
        try {
            found = document.querySelectorAll(selectors[i]);
        } catch (e) {
            continue;
        }
        if (found.length > 0) {
            return Array.prototype.slice.call(found);
        }
    }
    return [];
}
