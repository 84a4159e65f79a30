#pragma once
// What every engine needs to narrow a search by letter case as Olv folds it, and values as Olv
// shows them.

#include <QString>
#include <QStringList>
#include <QVariant>

namespace olv::keys {

// Spellings that between them stand for every text equal to text: each character is swapped for
// the characters that equal it. ASCII letter case is left out, as the engines' own case-blind
// comparisons fold it themselves; other alphabets they fold by older tables than ours, or not at
// all. Empty when there would be more than limit spellings.
QStringList spellings(const QString& text, qsizetype limit);
// text with ASCII letters made small and nothing else touched.
QString asciiLower(QString text);
// text escaped for an SQL LIKE with '\\' as its escape character.
QString escapeLike(QString text);
// A value as Olv shows it, the way SQLite gives it as text; null for NULL.
QString shownAs(const QVariant& value);
// A row as one text, compared exactly as shown with NULL apart from empty text: how File, Import
// tells the rows a database holds already.
QString rowKey(const QString& o, const QString& p, const QString& v);

} // namespace olv::keys
