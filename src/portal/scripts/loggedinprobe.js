// "ok" when the visible text shows the logged-in portal, else null.
(function() {
    var text = document.body.innerText || '';
    var markers = ['Strona główna', 'Moje doręczenia', 'Sprawy', 'Apelacja', 'Wyloguj'];
    for (var i = 0; i < markers.length; i++) {
        if (text.includes(markers[i]))
            return 'ok';
    }
    return null;
})
