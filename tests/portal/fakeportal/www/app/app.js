// The logged-in portal, built the way its Angular Material pages are: header region menu, pop-ups,
// navigation, the case list with filters, table and paginator. Panels and pop-ups live in the overlay
// container. Rendering is synchronous, so a click has changed the page when it returns; where the server is
// configured slow or failing (config.late), every showing of the list (its first, the search, a page size,
// the next page) arrives asynchronously instead, the old table staying until then: a failure shows a notice
// and keeps the table, an expired session goes back to the login page. With config.hang the page-size
// select runs into an endless script; config.size is the page size at first; config.jump [from, to] sends
// the next-page control once to page index to instead of from; config.nofilter leaves out the search button.
// As single-page portals do: config.module (seconds) loads the case list as a module by a script element on
// first use; config.longpoll (seconds) holds a notification poll that long each time, with a new cursor; a 503
// (config "refuse" of the server) is asked again after its Retry-After; config.stream reads the list's answers
// through a stream reader; config.labelFirst (seconds) draws a next page's paginator that long before its rows;
// config.labels gives fields other labels ({field: label}); config.menuDelay (seconds) opens the region menu
// late, config.regionDelay (seconds) takes that long to change to the region chosen; config.numbers shows numbered page controls; config.deaf (a page index) lets the next-page control there
// miss its first click, config.hangNext makes it run into an endless script; config.nolink leaves out the
// "Sprawy" link; config.keepIndex keeps the page index moved on when the
// next page's answer is lost. Their seconds are scaled by config.scale. Variants in the query: region=none
// (no region control), popups=0 (none on arrival).
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
    var scale = config.scale || 1;
    var moduleLoaded = !config.module;
    function later(seconds, action) { setTimeout(action, seconds * scale * 1000); }

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
    regionControl.addEventListener('click', function() { later(config.menuDelay || 0, openMenu); });
    function openMenu() {
        var menu = pane({ role: 'menu' }, []);
        ['gdańska', 'łódzka', 'wrocławska'].forEach(function(name) {
            menu.appendChild(button({ 'class': 'mat-mdc-menu-item', role: 'menuitem' }, name, function() {
                close(menu);
                later(config.regionDelay || 0, function() {
                    region = name;
                    render();
                });
            }));
        });
    }

    document.getElementById('nav').append(element('a', { href: '#/' }, 'Strona główna'));
    if (!config.nolink)
        document.getElementById('nav').append(element('a', { href: '#/sprawy' }, 'Sprawy'));

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
        Object.keys(config.labels || {}).forEach(function(key) { texts[key][0] = config.labels[key]; });
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
        var address = '/api/sprawy?' + parameters;
        // Where the answer fails, the page stays where it was; a refusal is asked again when the portal says.
        function failed(status, retryAfter) {
            if (status === 503 && retryAfter)
                return later(Number(retryAfter), function() { renderCases(step, previousPage); });
            if (previousPage !== undefined && !config.keepIndex)
                paging.page = previousPage;
            pane({ 'class': 'mat-snack-bar-container' }, [element('span', {}, 'Błąd serwera. Spróbuj ponownie.')]);
        }
        function answered(status, retryAfter, text) {
            if (status === 401)
                return location.assign('/login');
            if (status !== 200)
                return failed(status, retryAfter);
            showCases(JSON.parse(text), step);
        }
        if (config.stream) {
            return fetch(address).then(function(response) {
                var reader = response.body.getReader();
                var decoder = new TextDecoder();
                var text = '';
                function read() {
                    return reader.read().then(function(chunk) {
                        if (chunk.done)
                            return answered(response.status, response.headers.get('Retry-After'), text);
                        text += decoder.decode(chunk.value, { stream: true });
                        return read();
                    });
                }
                return read();
            }, function() { failed(0); });
        }
        var xhr = new XMLHttpRequest();
        xhr.open('GET', address, late);
        if (!late) {
            xhr.send();
            return showCases(JSON.parse(xhr.responseText), step);
        }
        xhr.onload = function() { answered(xhr.status, xhr.getResponseHeader('Retry-After'), xhr.responseText); };
        xhr.onerror = function() { failed(0); };
        xhr.send();
    }
    function showCases(data, step) {
        var rows = data.rows.map(caseRow);
        if (data.paging === 'none')
            return tableHost.replaceChildren(element('mat-table', { role: 'table' }, '', rows));

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
        var pages = Math.ceil(data.total / paging.size);
        var onLast = paging.page >= pages - 1;
        var paginator = element('div', { 'class': 'mat-mdc-paginator pagination' }, '', [size]);
        if (data.paging === 'pages')
            paginator.appendChild(element('span', {}, (paging.page + 1) + ' / ' + pages));
        else if (data.paging !== 'plain')
            paginator.appendChild(element('span', {}, data.first + ' - ' + data.last + ' z ' + data.total + ' elementów'));
        // A page's number asks for that page, unless the page index is there already.
        for (var number = 1; config.numbers && number <= pages; number++) {
            paginator.appendChild(button({ 'class': number === paging.page + 1 ? 'active' : '' }, String(number),
                function(index) {
                    return function() {
                        if (index === paging.page)
                            return;
                        var left = paging.page;
                        paging.page = index;
                        renderCases('page', left);
                    };
                }(number - 1)));
        }
        if (data.paging !== 'nonext') {
            paginator.appendChild(button({ 'aria-label': 'Następna strona' }, '', function() {
                if (config.hangNext)
                    for (;;) {}
                if (config.deaf === paging.page) {
                    config.deaf = null;
                    return;
                }
                var left = paging.page;
                paging.page = onLast ? (data.paging === 'wrap' ? 0 : paging.page) : paging.page + 1;
                if (config.jump && paging.page === config.jump[0]) {
                    paging.page = config.jump[1];
                    config.jump = null;
                }
                renderCases('page', left);
            }, [icon('chevron_right')])).disabled = onLast && data.paging !== 'wrap' && data.paging !== 'stuck';
        }
        var table = element('mat-table', { role: 'table' }, '', rows);
        if (!config.labelFirst || step !== 'page')
            return tableHost.replaceChildren(table, paginator);
        // The paginator first, over the rows shown until then.
        var shown = tableHost.querySelector('mat-table');
        tableHost.replaceChildren(shown || element('mat-table', { role: 'table' }), paginator);
        later(config.labelFirst, function() { tableHost.replaceChild(table, tableHost.querySelector('mat-table')); });
    }

    // Notifications, held by the portal until there is news, asked again at once with the next cursor.
    function poll(cursor) {
        fetch('/api/notifications?seconds=' + config.longpoll + '&cursor=' + cursor).then(function() { poll(cursor + 1); });
    }
    if (config.longpoll)
        poll(1);
    window.addEventListener('casesmodule', function() {
        moduleLoaded = true;
        render();
    });

    function render() {
        var sprawy = location.hash === '#/sprawy';
        regionControl.querySelector('.region-text').textContent = 'Apelacja ' + region;
        view.replaceChildren(element('h1', {}, sprawy ? 'Sprawy' : 'Strona główna'));
        if (sprawy && !moduleLoaded) {
            view.appendChild(element('mat-spinner', { role: 'progressbar' }));
            if (!document.querySelector('script[data-module]')) {
                var module = element('script', { src: '/app/module.js?seconds=' + config.module, 'data-module': '' });
                document.head.appendChild(module);
            }
        } else if (sprawy) {
            view.appendChild(renderFilters());
            tableHost = view.appendChild(element('div'));
            renderCases('list');
        }
    }
    window.addEventListener('hashchange', render);
    render();
})();
