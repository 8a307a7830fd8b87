document.querySelectorAll('mat-row, .mat-row, .mat-mdc-row, tr[mat-row], table tbody tr').length
