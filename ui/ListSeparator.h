#pragma once
// The organist's list separator for spreadsheet tables: a semicolon where
// the locale writes numbers with a decimal comma, else a comma.

#include <QLocale>

namespace corvinta::ui {

inline char ListSeparator()
{
    return QLocale().decimalPoint() == QStringLiteral(",") ? ';' : ',';
}

} // namespace corvinta::ui
