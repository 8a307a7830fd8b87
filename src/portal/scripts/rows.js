(function() {
    var findRows = __FIND_ROWS__;
    var wellFormed = __WELL_FORMED__;
    var rows = findRows();
    if (rows.length === 0) {
        return JSON.stringify([]);
    }
    var cellSelectors = [
        'td, mat-cell, .mat-cell, .mat-mdc-cell, [role="cell"], [role="gridcell"]',
        'cdk-cell, .cdk-cell',
        '[class*="mat-column-"]'
    ];
    var cellSelector = null;
    for (var s = 0; s < cellSelectors.length; s++) {
        try {
            if (rows[0].querySelectorAll(cellSelectors[s]).length >= 3) {
                cellSelector = cellSelectors[s];
                break;
            }
        } catch (e) {
        }
    }
    var iconNames = /keyboard_double_arrow_down|keyboard_arrow_down|expand_more|arrow_drop_down/g;
    var bullets = /[\u25CF\u25CB\u25C9\u2B24\u25A0\u25A1\u25AA\u25AB]/g;
    function cellText(cell) {
        var text = cell.innerText;
        if (!text) {
            text = cell.textContent || '';
        }
        return text.trim().replace(iconNames, '').trim();
    }
    function lines(text) {
        return text.split('\n')
            .map(function(line) { return line.trim(); })
            .filter(function(line) { return line.length > 0; });
    }
    var result = [];
    for (var r = 0; r < rows.length; r++) {
        var cells = cellSelector !== null ? rows[r].querySelectorAll(cellSelector) : rows[r].children;
        if (cells.length < 3) {
            continue;
        }
        var texts = [];
        for (var c = 0; c < cells.length && c < 5; c++) {
            texts.push(cellText(cells[c]));
        }
        if (texts[0].indexOf('Sygnatura') !== -1 || texts[0] === 'Lp.') {
            continue;
        }
        var linesA = lines(texts[0]);
        var linesB = lines(texts[1]);
        var linesD = cells.length >= 4 ? lines(texts[3]) : [];
        var record = [
            linesA.length >= 1 ? linesA[0] : '',
            linesA.length >= 2 ? linesA[1] : '',
            linesA.length >= 3 ? linesA.slice(2).join(' ') : '',
            linesB.length >= 1 ? linesB[0] : '',
            linesB.length >= 2 ? linesB.slice(1).join(', ') : '',
            texts[2].replace(/\n/g, ' ').trim(),
            linesD.length >= 1 ? linesD[0] : '',
            linesD.length >= 2 && linesD[1] !== '-' ? linesD[1] : '',
            cells.length >= 5 ? texts[4].replace(bullets, '').replace(/\n/g, ' ').trim() : ''
        ];
        result.push(record.map(wellFormed));
    }
    return JSON.stringify(result);
})()
