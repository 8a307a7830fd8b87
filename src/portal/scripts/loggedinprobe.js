// "ok" when the visible text shows the logged-in portal, else null; also null while the next page has no
// body yet, so that it is probed again.
(function() {
    var text = (document.body && document.body.innerText) || '';
    var markers = ['Strona główna', 'Moje doręczenia', 'Sprawy', 'Apelacja', 'Wyloguj'];
    for (var i = 0; i < markers.length; i++) {
        if (text.includes(markers[i]))
            return 'ok';
    }
    return null;
})
