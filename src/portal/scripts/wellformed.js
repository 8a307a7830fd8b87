function(text) {
    // A lone UTF-16 surrogate does not survive the hand-over to the application; U+FFFD does.
    return text.replace(/[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/g, '\uFFFD');
}
