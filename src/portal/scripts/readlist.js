function() {
    // What the case list shows: its rows (their number, header rows aside, and their signature), its paginator,
    // the labels of its form fields, whether it has a search button and an empty-table row.
    var findRows = __FIND_ROWS__;
    var signatureOf = __ROW_SIGNATURE__;
    var readPaginator = __READ_PAGINATOR__;
    var findSearchButton = __FIND_SEARCH_BUTTON__;
    var rows = findRows();
    var header = 'mat-header-row, .mat-header-row, .mat-mdc-header-row, cdk-header-row, .cdk-header-row';
    var cases = rows.filter(function(row) {
        return !row.matches(header) && row.querySelector('th, [role="columnheader"]') === null;
    });
    var labels = Array.prototype.map.call(document.querySelectorAll('mat-form-field mat-label'), function(label) {
        return (label.textContent || '').trim();
    });
    return { signature: signatureOf(rows), rows: cases.length, paginator: readPaginator(), labels: labels,
        searchButton: findSearchButton() !== null,
        noData: document.querySelector('.mat-no-data-row, .mat-mdc-no-data-row') !== null };
}
