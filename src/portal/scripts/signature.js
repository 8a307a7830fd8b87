(function() {
    var findRows = __FIND_ROWS__;
    var signatureOf = __ROW_SIGNATURE__;
    return signatureOf(findRows());
})()
