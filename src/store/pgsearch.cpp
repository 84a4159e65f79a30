// Searching on the server: its indexes pass on every row that may match, in the order stored, and
// Olv's own comparisons decide, so that the answers are those a file gives.

#include "pgcommon.h"

#include <QSet>

namespace olv {

using namespace pg;

namespace {

// Identifiers in the order given, each object once.
QStringList distinctObjects(const QStringList& ids) {
    QSet<QString> seen;
    QStringList result;
    for (const QString& id : ids) {
        const QString key = jet::fold(id);
        if (seen.contains(key)) continue;
        seen.insert(key);
        result << id;
    }
    return result;
}

// The objects of the rows (O, V) whose value keep accepts.
QStringList keptObjects(const Result& r, const std::function<bool(const QString&)>& keep) {
    QStringList ids;
    for (int i = 0; i < r.rows(); ++i)
        if (!r.isNull(i, 1) && keep(r.text(i, 1))) ids << r.text(i, 0);
    return distinctObjects(ids);
}

QStringList likeSpellings(const QString& run) {
    QStringList likes;
    for (const QString& s : keys::spellings(run, kMaxSpellings))
        likes << QLatin1Char('%') + keys::escapeLike(s) + QLatin1Char('%');
    return likes;
}

} // namespace

QStringList PgEngine::narrowedObjects(const QStringList& runs, const std::function<bool(const QString&)>& keep) {
    QString longest;
    for (const QString& run : runs)
        if (run.size() > longest.size()) longest = run;
    const QStringList likes = longest.isEmpty() ? QStringList() : likeSpellings(longest);
    // ILIKE folds at least what our spellings leave out, so it passes on every match, and the
    // trigram index serves it.
    if (likes.isEmpty()) return keptObjects(exec("SELECT o, v FROM data WHERE v IS NOT NULL ORDER BY rowid"), keep);
    return keptObjects(exec("SELECT o, v FROM data WHERE v ILIKE ANY ($1::text[]) ORDER BY rowid", Params().texts(likes)),
                       keep);
}

QStringList PgEngine::objectsWithValue(const QString& value) {
    const QStringList spelt = keys::spellings(value, kMaxSpellings);
    const auto same = [&](const QString& v) { return jet::equal(v, value); };
    if (spelt.isEmpty()) return narrowedObjects({jet::fold(value)}, same);
    return keptObjects(exec("SELECT o, v FROM data WHERE lower(v COLLATE \"C\") = ANY ($1::text[]) ORDER BY rowid",
                            Params().texts(spelt)),
                       same);
}

QStringList PgEngine::objectsMatching(const QString& pattern) {
    const jet::Pattern p(pattern);
    const auto matches = [&](const QString& v) { return p.matches(v); };
    const std::optional<QStringList> likes = p.likeForms(kMaxSpellings);
    if (!likes) return narrowedObjects(p.literalRuns(), matches);
    return keptObjects(exec("SELECT o, v FROM data WHERE v ILIKE ANY ($1::text[]) ORDER BY rowid", Params().texts(*likes)),
                       matches);
}

QStringList PgEngine::findObjects(const QString& text, bool containing) {
    return containing ? objectsMatching(QStringLiteral("*") + text + QStringLiteral("*")) : objectsWithValue(text);
}

bool PgEngine::exists(const QString& id) {
    const QStringList spelt = keys::spellings(id, kMaxSpellings);
    if (spelt.isEmpty()) return !storedRowsOf(id).isEmpty();
    const Result r = exec("SELECT DISTINCT o FROM data WHERE lower(o COLLATE \"C\") = ANY ($1::text[])", Params().texts(spelt));
    for (int i = 0; i < r.rows(); ++i)
        if (jet::equal(r.text(i, 0), id)) return true;
    return false;
}

qint64 PgEngine::countObjects() {
    // The server merges ASCII letter case; the rest is folded here.
    const Result r = exec("SELECT DISTINCT lower(o COLLATE \"C\") FROM data WHERE o IS NOT NULL");
    QSet<QString> objects;
    objects.reserve(r.rows());
    for (int i = 0; i < r.rows(); ++i) objects.insert(jet::fold(r.text(i, 0)));
    return objects.size();
}

} // namespace olv
