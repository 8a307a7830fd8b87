// The logged-in fake portal: header region menu, pop-ups, left navigation, the case list with its
// filters, paginator and table, built the way an Angular Material page is. Rendering is
// synchronous (synchronous requests), so a click has changed the page by the time it returns.
(function() {
    var REGIONS = ['białostocka', 'gdańska', 'katowicka', 'krakowska', 'lubelska', 'łódzka',
        'poznańska', 'rzeszowska', 'szczecińska', 'warszawska', 'wrocławska'];

    // Test variants come in the query once and live on across reloads of this tab.
    var query = new URLSearchParams(location.search);
    ['region', 'menuCase', 'popups', 'nav'].forEach(function(key) {
        if (query.has(key)) {
            sessionStorage.setItem('app.' + key, query.get(key));
        }
    });
    function option(key, fallback) {
        var value = sessionStorage.getItem('app.' + key);
        return value === null ? fallback : value;
    }

    var overlay = document.querySelector('.cdk-overlay-container');
    var view = document.getElementById('view');
    window.closedPopups = [];

    function request(method, path, body) {
        var xhr = new XMLHttpRequest();
        xhr.open(method, path, false);
        if (body !== undefined) {
            xhr.setRequestHeader('Content-Type', 'application/json');
        }
        xhr.send(body === undefined ? null : JSON.stringify(body));
        return xhr.status === 200 ? JSON.parse(xhr.responseText) : null;
    }
    function record(field, event, value) {
        request('POST', '/api/record', { kind: 'filter', field: field, event: event, value: value });
    }
    function element(tag, attributes, text) {
        var made = document.createElement(tag);
        Object.keys(attributes || {}).forEach(function(name) { made.setAttribute(name, attributes[name]); });
        if (text !== undefined) {
            made.textContent = text;
        }
        return made;
    }
    function icon(name) {
        return element('mat-icon', { 'class': 'mat-icon material-icons' }, name);
    }

    // Overlays: a pane per open panel or pop-up; Escape closes those that allow it.
    function openPane(kind, left, top, closesOnEscape) {
        var pane = element('div', { 'class': 'cdk-overlay-pane', 'data-kind': kind });
        pane.style.left = left + 'px';
        pane.style.top = top + 'px';
        pane.closesOnEscape = closesOnEscape;
        overlay.appendChild(pane);
        return pane;
    }
    function closePane(pane, how) {
        if (pane.parentNode) {
            pane.parentNode.removeChild(pane);
            window.closedPopups.push({ kind: pane.getAttribute('data-kind'), how: how });
        }
    }
    document.addEventListener('keydown', function(event) {
        if (event.key !== 'Escape') {
            return;
        }
        Array.prototype.slice.call(overlay.children).forEach(function(pane) {
            if (pane.closesOnEscape) {
                closePane(pane, 'escape');
            }
        });
    });

    // Header region.
    var regionControl = document.getElementById('region');
    var regionText = regionControl.querySelector('.region-text');
    function currentRegion() {
        return option('region', 'wrocławska');
    }
    if (currentRegion() === 'none') {
        regionControl.parentNode.removeChild(regionControl);
    } else {
        regionText.textContent = 'Apelacja ' + currentRegion();
    }
    regionControl.addEventListener('click', function() {
        var rect = regionControl.getBoundingClientRect();
        var menu = openPane('region-menu', rect.x, rect.y + rect.height, true);
        menu.setAttribute('role', 'menu');
        REGIONS.forEach(function(name) {
            var label = 'Apelacja ' + name;
            var item = element('button', { 'class': 'mat-mdc-menu-item', role: 'menuitem' },
                option('menuCase', '') === 'upper' ? label.toUpperCase() : label);
            item.addEventListener('click', function() {
                sessionStorage.setItem('app.region', name);
                regionText.textContent = 'Apelacja ' + name;
                closePane(menu, 'choice');
                render();
            });
            menu.appendChild(item);
        });
    });

    // Left navigation.
    var nav = document.getElementById('nav');
    function navLink(text, target) {
        var link = element('a', { href: target, 'class': 'mat-mdc-list-item', role: 'listitem' }, text);
        nav.appendChild(link);
        return link;
    }
    navLink('Strona główna', '#/');
    navLink('Moje doręczenia', '#/doreczenia');
    if (option('nav', '') === '') {
        navLink('Sprawy', '#/sprawy');
    } else if (option('nav', '') === 'far') {
        // Present but not visible: no width.
        navLink('Sprawy', '#/sprawy').style.display = 'none';
    }

    // Pop-ups shown on arrival.
    if (option('popups', '') === '1') {
        sessionStorage.setItem('app.popups', '');
        overlay.appendChild(element('div', { 'class': 'cdk-overlay-backdrop' }));
        var dialog = openPane('dialog-close', 400, 200, false);
        var container = element('mat-dialog-container', { role: 'dialog', 'class': 'mat-mdc-dialog-container' });
        container.appendChild(element('h2', {}, 'Komunikat'));
        container.appendChild(element('p', {}, 'Portal będzie niedostępny w niedzielę.'));
        var closeButton = element('button', { 'aria-label': 'Close' });
        closeButton.appendChild(icon('close'));
        closeButton.addEventListener('click', function() { closePane(dialog, 'button'); });
        container.appendChild(closeButton);
        dialog.appendChild(container);

        var notice = openPane('dialog-understood', 400, 400, false);
        var noticeContainer = element('mat-dialog-container', { role: 'dialog' });
        noticeContainer.appendChild(element('p', {}, 'Zmiana regulaminu.'));
        var understood = element('button', {}, ' Rozumiem ');
        understood.addEventListener('click', function() { closePane(notice, 'button'); });
        noticeContainer.appendChild(understood);
        notice.appendChild(noticeContainer);

        var snack = openPane('snack-bar', 500, 800, false);
        snack.className = 'cdk-overlay-pane mat-snack-bar-container';
        snack.appendChild(element('span', {}, 'Zalogowano pomyślnie.'));
        var ok = element('button', {}, 'OK');
        ok.addEventListener('click', function() { closePane(snack, 'button'); });
        snack.appendChild(ok);

        openPane('tooltip', 700, 100, true).appendChild(element('span', {}, 'Nowość: eksport spraw'));
        // The backdrop goes with the last dialog.
        var watcher = setInterval(function() {
            if (!overlay.querySelector('mat-dialog-container')) {
                var backdrop = overlay.querySelector('.cdk-overlay-backdrop');
                if (backdrop) {
                    backdrop.parentNode.removeChild(backdrop);
                }
                clearInterval(watcher);
            }
        }, 10);
    }

    // The case list.
    var draft = { status: 'Wszystkie', dataOd: '', dataDo: '', podmiot: '', przedmiot: '' };
    var applied = JSON.parse(JSON.stringify(draft));
    var paging = { page: 0, size: 10 };

    function formField(label) {
        var field = element('mat-form-field', { 'class': 'mat-mdc-form-field' });
        field.appendChild(element('mat-label', {}, label));
        return field;
    }
    function selectPanel(anchor, kind, choices, choose) {
        var rect = anchor.getBoundingClientRect();
        var panel = openPane(kind, rect.x, rect.y + rect.height, true);
        panel.setAttribute('role', 'listbox');
        choices.forEach(function(choice) {
            var item = element('mat-option', { 'class': 'mat-mdc-option', role: 'option' });
            item.appendChild(element('span', { 'class': 'mdc-list-item__primary-text' }, choice));
            item.addEventListener('click', function() {
                choose(choice);
                closePane(panel, 'choice');
            });
            panel.appendChild(item);
        });
    }
    function textField(label, key, tag, extra) {
        var field = formField(label);
        var input = element(tag, { 'class': 'mat-mdc-input-element', formcontrolname: key });
        if (tag === 'input') {
            input.setAttribute('type', 'text');
        }
        input.value = draft[key];
        ['input', 'change', 'blur'].forEach(function(type) {
            input.addEventListener(type, function() {
                record(key, type, input.value);
                draft[key] = input.value;
            });
        });
        field.appendChild(input);
        if (extra) {
            field.appendChild(extra);
        }
        return field;
    }
    function calendarToggle() {
        var toggle = element('button', { 'aria-label': 'Open calendar', type: 'button' });
        toggle.appendChild(icon('calendar_today'));
        return toggle;
    }

    function renderFilters() {
        var filters = element('div', { 'class': 'filters' });
        var status = formField('Status');
        var select = element('mat-select', { 'class': 'mat-mdc-select', role: 'combobox' });
        select.appendChild(element('span', { 'class': 'mat-mdc-select-value-text' }, draft.status));
        select.appendChild(icon('arrow_drop_down'));
        select.addEventListener('click', function() {
            selectPanel(select, 'status-panel', ['Wszystkie', 'W toku', 'Zakończone'], function(choice) {
                record('status', 'select', choice);
                draft.status = choice;
                select.firstChild.textContent = choice;
            });
        });
        status.appendChild(select);
        filters.appendChild(status);
        filters.appendChild(textField('Data wpływu od', 'dataOd', 'input', calendarToggle()));
        filters.appendChild(textField('Data wpływu do', 'dataDo', 'input', calendarToggle()));
        filters.appendChild(textField('Podmiot', 'podmiot', 'input'));
        filters.appendChild(textField('Przedmiot', 'przedmiot', 'textarea'));

        var clear = element('button', { 'class': 'mat-mdc-button', type: 'button' });
        clear.appendChild(icon('clear'));
        clear.appendChild(element('span', {}, 'Wyczyść'));
        filters.appendChild(clear);
        var apply = element('button', { 'class': 'mat-mdc-raised-button filter-button', type: 'button' });
        apply.appendChild(icon('search'));
        apply.appendChild(element('span', {}, 'Szukaj'));
        apply.addEventListener('click', function() {
            record('button', 'click', JSON.stringify(draft));
            applied = JSON.parse(JSON.stringify(draft));
            paging.page = 0;
            renderCases();
        });
        filters.appendChild(apply);
        return filters;
    }

    function lines(cell, texts, className) {
        texts.forEach(function(text) { cell.appendChild(element('div', { 'class': className || '' }, text)); });
    }
    function caseRow(item) {
        var row = element('mat-row', { 'class': 'mat-mdc-row', role: 'row' });
        var first = element('mat-cell', { 'class': 'mat-mdc-cell mat-column-sygnatura', role: 'cell' });
        lines(first, [item.sygnatura, item.sad].concat(item.wydzial ? [item.wydzial] : []));
        var expand = element('button', { 'class': 'expand', type: 'button' });
        expand.appendChild(icon('expand_more'));
        first.appendChild(expand);
        row.appendChild(first);

        var second = element('mat-cell', { 'class': 'mat-mdc-cell mat-column-przedmiot', role: 'cell' });
        lines(second, [item.przedmiot].concat(item.glownePodmioty));
        row.appendChild(second);

        var third = element('mat-cell', { 'class': 'mat-mdc-cell mat-column-referent', role: 'cell' });
        var words = item.referent.split(' ');
        // A long name wraps onto a second line.
        lines(third, item.referent === '' ? [] : words.length > 3
            ? [words.slice(0, 2).join(' '), words.slice(2).join(' ')] : [item.referent]);
        row.appendChild(third);

        var fourth = element('mat-cell', { 'class': 'mat-mdc-cell mat-column-daty', role: 'cell' });
        lines(fourth, [item.dataWplywu, item.dataZakonczenia || '-']);
        row.appendChild(fourth);

        var fifth = element('mat-cell', { 'class': 'mat-mdc-cell mat-column-status', role: 'cell' });
        fifth.appendChild(element('span', { 'class': 'status-dot' }, '\u25CF'));
        fifth.appendChild(document.createTextNode(' ' + item.status + ' '));
        fifth.appendChild(icon('keyboard_arrow_down'));
        row.appendChild(fifth);

        var actions = element('mat-cell', { 'class': 'mat-mdc-cell actions', role: 'cell' });
        actions.appendChild(icon('more_vert'));
        row.appendChild(actions);
        return row;
    }

    function casesQuery() {
        var parameters = new URLSearchParams();
        parameters.set('region', currentRegion());
        Object.keys(applied).forEach(function(key) { parameters.set(key, applied[key]); });
        parameters.set('page', String(paging.page));
        parameters.set('size', String(paging.size));
        return parameters.toString();
    }

    var tableHost = null;
    function renderCases() {
        if (!tableHost) {
            return;
        }
        var data = request('GET', '/api/sprawy?' + casesQuery());
        tableHost.textContent = '';
        var table = element('mat-table', { 'class': 'mat-mdc-table', role: 'table' });
        var header = element('mat-header-row', { 'class': 'mat-mdc-header-row', role: 'row' });
        ['Sygnatura / Sąd / Wydział', 'Przedmiot / Podmioty', 'Referent', 'Daty', 'Status', ''].forEach(function(title) {
            header.appendChild(element('mat-header-cell', { role: 'columnheader' }, title));
        });
        table.appendChild(header);
        data.rows.forEach(function(item) { table.appendChild(caseRow(item)); });
        tableHost.appendChild(table);

        var paginator = element('div', { 'class': 'mat-mdc-paginator table-pagination' });
        paginator.appendChild(element('span', {}, 'Elementów na stronę:'));
        var sizeSelect = element('mat-select', { 'class': 'mat-mdc-select page-size-select', role: 'combobox' });
        sizeSelect.appendChild(element('span', {}, String(paging.size)));
        sizeSelect.appendChild(icon('arrow_drop_down'));
        sizeSelect.addEventListener('click', function() {
            selectPanel(sizeSelect, 'page-size-panel', ['10', '25', '50', '100'], function(choice) {
                paging.size = parseInt(choice, 10);
                paging.page = 0;
                renderCases();
            });
        });
        paginator.appendChild(sizeSelect);
        paginator.appendChild(element('span', { 'class': 'range' },
            data.first + ' - ' + data.last + ' z ' + data.total + ' elementów'));
        var lastPage = Math.max(0, Math.ceil(data.total / paging.size) - 1);
        function pageButton(label, iconName, target, enabled) {
            var button = element('button', { 'aria-label': label, type: 'button' });
            button.appendChild(icon(iconName));
            button.disabled = !enabled;
            button.addEventListener('click', function() {
                paging.page = target;
                renderCases();
            });
            paginator.appendChild(button);
        }
        pageButton('Pierwsza strona', 'first_page', 0, paging.page > 0);
        pageButton('Poprzednia strona', 'chevron_left', paging.page - 1, paging.page > 0);
        var wraps = data.wrap && paging.page === lastPage;
        pageButton('Następna strona', 'chevron_right', wraps ? 0 : paging.page + 1, paging.page < lastPage || wraps);
        pageButton('Ostatnia strona', 'last_page', lastPage, paging.page < lastPage);
        tableHost.appendChild(paginator);
    }

    function render() {
        var route = location.hash.replace(/^#/, '') || '/';
        view.textContent = '';
        tableHost = null;
        if (route === '/sprawy') {
            view.appendChild(element('h1', {}, 'Sprawy'));
            view.appendChild(renderFilters());
            tableHost = element('div', { 'class': 'cases' });
            view.appendChild(tableHost);
            renderCases();
            return;
        }
        view.appendChild(element('h1', {}, 'Strona główna'));
        if (option('nav', '') === 'far') {
            var far = element('a', { href: '#/sprawy', 'class': 'far-link' }, 'Przejdź do: Sprawy');
            var holder = element('p');
            holder.appendChild(far);
            view.appendChild(holder);
        }
    }
    window.addEventListener('hashchange', render);
    render();
})();
