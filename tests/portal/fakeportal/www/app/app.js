// The logged-in portal, built the way its Angular Material pages are: header region menu, pop-ups,
// navigation, the case list with filters, table and paginator. Panels and pop-ups live in the overlay
// container. Rendering is synchronous, so a click has changed the page when it returns; where the server is
// configured slow or failing (config.late), every showing of the list (its first, the search, a page size,
// the next page) arrives asynchronously instead, the old table staying until then: a failure shows a notice
// and keeps the table, an expired session goes back to the login page. With config.hang the page-size
// select runs into an endless script; config.size is the page size at first; config.jump [from, to] sends
// the next-page control once to page index to instead of from; config.nofilter leaves out the search button. Variants in the query: region=none (no region control), popups=0 (none on
// arrival).
(function() {
    var config = JSON.parse(document.body.dataset.config || '{}');
    // The portal keeps its user in web storage; another account must not inherit it.
    localStorage.setItem('portalUser', document.body.dataset.user);
    var query = new URLSearchParams(location.search);
    var region = query.get('region') || 'wrocławska';
    var overlay = document.querySelector('.cdk-overlay-container');
    var view = document.getElementById('view');
    var paging = { page: 0, size: config.size || 10 };
    var applied = {};
    var tableHost = null;

    function element(tag, attributes, text, children) {
        var made = document.createElement(tag);
        Object.keys(attributes || {}).forEach(function(name) { made.setAttribute(name, attributes[name]); });
        made.textContent = text || '';
        (children || []).forEach(function(child) { made.appendChild(child); });
        return made;
    }
    function icon(name) { return element('mat-icon', { 'class': 'mat-icon' }, name); }
    function button(attributes, text, onClick, children) {
        var made = element('button', attributes, text, children);
        made.addEventListener('click', onClick);
        return made;
    }
    // A pane over the header; the dialogs share one backdrop; Escape closes the tooltip.
    function pane(attributes, children) {
        var made = element('div', attributes, '', children);
        made.className += ' cdk-overlay-pane';
        made.style.cssText = 'top: 0; right: 0; width: 70%; height: 64px';
        overlay.appendChild(made);
        return made;
    }
    function close(made) {
        made.remove();
        if (!overlay.querySelector('[role=dialog]') && overlay.querySelector('.cdk-overlay-backdrop'))
            overlay.querySelector('.cdk-overlay-backdrop').remove();
    }
    document.addEventListener('keydown', function(event) { if (event.key === 'Escape') overlay.querySelectorAll('[role=tooltip]').forEach(close); });
    function selectPanel(choices, choose) {
        var panel = pane({ role: 'listbox' }, []);
        choices.forEach(function(choice) {
            var option = element('mat-option', { 'class': 'mat-mdc-option', role: 'option' }, choice);
            option.addEventListener('click', function() { choose(choice); close(panel); });
            panel.appendChild(option);
        });
    }

    var regionControl = document.getElementById('region');
    if (region === 'none') regionControl.remove();
    regionControl.addEventListener('click', function() {
        var menu = pane({ role: 'menu' }, []);
        ['gdańska', 'łódzka', 'wrocławska'].forEach(function(name) {
            menu.appendChild(button({ 'class': 'mat-mdc-menu-item', role: 'menuitem' }, name, function() {
                region = name;
                close(menu);
                render();
            }));
        });
    });

    document.getElementById('nav').append(element('a', { href: '#/' }, 'Strona główna'),
        element('a', { href: '#/sprawy' }, 'Sprawy'));

    if (query.get('popups') !== '0') {
        overlay.appendChild(element('div', { 'class': 'cdk-overlay-backdrop' }));
        pane({ role: 'dialog' }, [element('p', {}, 'Portal będzie niedostępny w niedzielę.'),
            button({ 'aria-label': 'Close' }, '', function() { close(this.parentNode); }, [icon('close')])]);
        // Closing this notice brings the next one.
        pane({ role: 'dialog' }, [element('p', {}, 'Zmiana regulaminu.'), button({}, ' Rozumiem ', function() {
            close(this.parentNode);
            pane({ role: 'dialog' }, [element('p', {}, 'Nowy regulamin.'), button({}, 'OK', function() { close(this.parentNode); })]);
        })]);
        pane({ 'class': 'mat-snack-bar-container' }, [element('span', {}, 'Zalogowano.'),
            button({}, 'OK', function() { close(this.parentNode); })]);
        pane({ role: 'tooltip' }, [element('span', {}, 'Nowość: eksport spraw')]);
    }

    function renderFilters() {
        var status = element('mat-select', { 'class': 'mat-mdc-select', role: 'combobox' }, 'Wszystkie');
        status.addEventListener('click', function() {
            selectPanel(['Wszystkie', 'W toku', 'Zakończone'], function(choice) { status.textContent = choice; });
        });
        // Labels may carry more than the words looked for.
        var texts = { dataOd: ['Data wpływu od *', 'input'], dataDo: ['Data wpływu do *', 'input'], podmiot: ['Podmiot', 'input'],
            przedmiot: ['Przedmiot sprawy', 'textarea'] };
        var filters = element('div');
        [['Status sprawy', status]].concat(Object.keys(texts).map(function(key) {
            return [texts[key][0], element(texts[key][1], { formcontrolname: key })];
        })).forEach(function(field) {
            filters.appendChild(element('mat-form-field', { 'class': 'mat-mdc-form-field' }, '', [element('mat-label', {}, field[0]), field[1]]));
        });
        if (config.nofilter)
            return filters;
        filters.appendChild(button({}, '', function() {
            applied = { status: status.textContent };
            Object.keys(texts).forEach(function(key) {
                applied[key] = filters.querySelector('[formcontrolname=' + key + ']').value;
            });
            paging.page = 0;
            renderCases('search');
        }, [icon('search'), element('span', {}, 'Szukaj')]));
        return filters;
    }

    function cell(lines, extra) {
        return element('mat-cell', { 'class': 'mat-mdc-cell' }, '', lines.map(function(line) { return element('div', {}, line); }).concat(extra || []));
    }
    function caseRow(item) {
        var words = item.referent.split(' ');
        return element('mat-row', { 'class': 'mat-mdc-row', role: 'row' }, '', [
            cell([item.sygnatura, item.sad].concat(item.wydzial ? [item.wydzial] : []), [icon('expand_more')]),
            cell([item.przedmiot].concat(item.glownePodmioty)),
            // A long name wraps onto a second line.
            cell(words.length > 3 ? [words.slice(0, 2).join(' '), words.slice(2).join(' ')] : [item.referent]),
            cell([item.dataWplywu, item.dataZakonczenia || '-']),
            cell(['\u25CF ' + item.status], [icon('keyboard_arrow_down')]),
            cell([], [icon('more_vert')])]);
    }
    // The step ("list", "search", "size" or "page") tells the server which of its delays to take.
    function renderCases(step, previousPage) {
        var parameters = new URLSearchParams(applied);
        parameters.set('region', region);
        parameters.set('page', paging.page);
        parameters.set('size', paging.size);
        parameters.set('step', step);
        var late = !!config.late;
        var xhr = new XMLHttpRequest();
        xhr.open('GET', '/api/sprawy?' + parameters, late);
        if (!late) {
            xhr.send();
            return showCases(JSON.parse(xhr.responseText));
        }
        // Where the answer fails, the page stays where it was.
        function failed() {
            if (previousPage !== undefined)
                paging.page = previousPage;
            pane({ 'class': 'mat-snack-bar-container' }, [element('span', {}, 'Błąd serwera. Spróbuj ponownie.')]);
        }
        xhr.onload = function() {
            if (xhr.status === 401)
                return location.assign('/login');
            if (xhr.status !== 200)
                return failed();
            showCases(JSON.parse(xhr.responseText));
        };
        xhr.onerror = failed;
        xhr.send();
    }
    function showCases(data) {
        tableHost.replaceChildren(element('mat-table', { role: 'table' }, '', data.rows.map(caseRow)));
        if (data.paging === 'none')
            return;

        var size = element('mat-select', { 'class': 'mat-mdc-select', role: 'combobox' }, String(paging.size));
        size.addEventListener('click', function() {
            if (config.hang)
                for (;;) {}
            // Choosing the size already shown changes nothing, as on a real page.
            selectPanel(['10', '25', '50'], function(choice) {
                if (Number(choice) === paging.size)
                    return;
                paging = { page: 0, size: Number(choice) };
                renderCases('size');
            });
        });
        var onLast = paging.page >= Math.ceil(data.total / paging.size) - 1;
        var paginator = tableHost.appendChild(element('div', { 'class': 'mat-mdc-paginator pagination' }, '', [size]));
        if (data.paging !== 'plain')
            paginator.appendChild(element('span', {}, data.first + ' - ' + data.last + ' z ' + data.total + ' elementów'));
        if (data.paging === 'nonext')
            return;
        paginator.appendChild(button({ 'aria-label': 'Następna strona' }, '', function() {
            var left = paging.page;
            paging.page = onLast ? (data.paging === 'wrap' ? 0 : paging.page) : paging.page + 1;
            if (config.jump && paging.page === config.jump[0]) {
                paging.page = config.jump[1];
                config.jump = null;
            }
            renderCases('page', left);
        }, [icon('chevron_right')])).disabled = onLast && data.paging !== 'wrap' && data.paging !== 'stuck';
    }

    function render() {
        var sprawy = location.hash === '#/sprawy';
        regionControl.querySelector('.region-text').textContent = 'Apelacja ' + region;
        view.replaceChildren(element('h1', {}, sprawy ? 'Sprawy' : 'Strona główna'));
        if (sprawy) {
            view.appendChild(renderFilters());
            tableHost = view.appendChild(element('div'));
            renderCases('list');
        }
    }
    window.addEventListener('hashchange', render);
    render();
})();
