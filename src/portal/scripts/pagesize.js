(function() {
    var pagination = document.querySelector('sh-pagination, [class*="pagination"]');
    if (!pagination) {
        return 'no-pagination';
    }
    var select = pagination.querySelector('mat-select, .mat-select, .mat-mdc-select, .pagination-select');
    if (!select) {
        return 'no-select';
    }
    select.click();
    return 'clicked-select';
})()
