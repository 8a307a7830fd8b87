#include "excelerror.h"

using namespace Qt::StringLiterals;

QString ExcelError::errorDescription() const { return u"Nie udało się zapisać pliku XLSX."_s; }
