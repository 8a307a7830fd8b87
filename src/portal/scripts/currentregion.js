(function() {
    var elements = document.querySelectorAll('*');
    for (var i = 0; i < elements.length; i++) {
        var rect = elements[i].getBoundingClientRect();
        if (rect.y > 250 || rect.height > 80) {
            continue;
        }
        var text = (elements[i].textContent || '').trim();
        if (text.indexOf('Apelacja') === 0 && text.length < 40) {
            return text;
        }
    }
    return '';
})()
