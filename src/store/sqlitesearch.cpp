// Searching: Like patterns turned into SQL, the trigram index, and letter case as Olv folds it.

#include "sqlitecommon.h"

#include <QSet>
#include <algorithm>

namespace olv {

namespace sqlite {

// "= ?" for one value, "IN (?, ?, ...)" for several.
std::string oneOf(qsizetype n) {
    if (n == 1) return "= ?";
    std::string sql = "IN (?";
    for (qsizetype i = 1; i < n; ++i) sql += ", ?";
    return sql + ")";
}

// V is like one of n patterns, bound from parameter first on. LIKE passes over blobs, which
void bindAll(SQLite::Statement& q, const QStringList& values, int first) {
    for (int i = 0; i < values.size(); ++i) q.bind(first + i, values[i].toStdString());
}

} // namespace sqlite

using namespace sqlite;

namespace {

// At most this many trigrams narrow one search; more rarely helps and costs index reads.
constexpr int kMaxTrigrams = 12;

// V is like one of n patterns, bound from parameter first on. LIKE passes over blobs, which
// other programs may have stored: where the file may hold any, they are compared as their text.
std::string likeAny(qsizetype n, bool blobs, int first = 1) {
    const auto any = [&](const std::string& value) {
        std::string sql;
        for (qsizetype i = 0; i < n; ++i)
            sql += (i ? " OR " : "") + value + " LIKE ?" + std::to_string(first + i) + " ESCAPE '\\'";
        return sql;
    };
    if (!blobs) return "(" + any("V") + ")";
    return "(" + any("V") + " OR (typeof(V) = 'blob' AND (" + any("CAST(V AS TEXT)") + ")))";
}



// FTS5 query that every value containing all of the runs satisfies; empty when no run is long
// enough for the index to help.
QString trigramQuery(const QStringList& runs) {
    std::vector<std::u32string> trigrams;
    for (const QString& run : runs) {
        const std::u32string r = run.toStdU32String();
        for (size_t i = 0; i + 3 <= r.size(); ++i) trigrams.push_back(r.substr(i, 3));
    }
    QStringList terms;
    const size_t step = std::max<size_t>(1, (trigrams.size() + kMaxTrigrams - 1) / kMaxTrigrams);
    for (size_t i = 0; i < trigrams.size(); i += step) {
        QStringList alternatives;
        for (QString s : spellings(QString::fromStdU32String(trigrams[i]), kMaxTrigramSpellings))
            alternatives << QLatin1Char('"') + s.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                                QLatin1Char('"');
        if (alternatives.size() == 1) terms << alternatives.front();
        else if (!alternatives.isEmpty())
            terms << QLatin1Char('(') + alternatives.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    return terms.join(QStringLiteral(" AND "));
}

// Identifiers in the order given, each object once: NOCASE has already merged ASCII letter case
// where alreadyAsciiDistinct, so only identifiers with other letters need folding here.
QStringList distinctObjects(QStringList ids, bool alreadyAsciiDistinct) {
    if (alreadyAsciiDistinct && std::all_of(ids.begin(), ids.end(), isAscii)) return ids;
    QSet<QString> seen;
    seen.reserve(ids.size());
    QStringList result;
    result.reserve(ids.size());
    for (QString& id : ids) {
        const QString key = jet::fold(id);
        if (seen.contains(key)) continue;
        seen.insert(key);
        result << std::move(id);
    }
    return result;
}

// Files whose trigram index was found in step at a schema version that could not be recorded
} // namespace

// --- Searching ---------------------------------------------------------------------------------

bool SqliteEngine::mayHoldBlobs() {
    if (!m_hasNonTextIndex) return true; // nobody keeps count: assume some
    if (m_mayHoldBlobs < 0) {
        SQLite::Statement& q = statement(std::string("SELECT 1 FROM DATA INDEXED BY DATA_V_NONTEXT WHERE ") +
                                         kNonTextWhere + " AND typeof(V) = 'blob' LIMIT 1");
        m_mayHoldBlobs = q.executeStep() ? 1 : 0;
        q.tryReset();
    }
    return m_mayHoldBlobs == 1;
}

QStringList SqliteEngine::scanObjects(const std::string& where, const QStringList& values) {
    // A plain scan in the order rows were stored; DISTINCT keeps each object's first appearance.
    SQLite::Statement& q = statement("SELECT DISTINCT O COLLATE NOCASE FROM DATA NOT INDEXED WHERE " + where);
    bindAll(q, values);
    QStringList ids;
    while (q.executeStep()) ids << text(q.getColumn(0));
    q.tryReset(); // let go of the read
    return distinctObjects(std::move(ids), true);
}

template <class Keep> QStringList SqliteEngine::narrowedObjects(const QStringList& runs, Keep&& keep) {
    const auto collect = [&](SQLite::Statement& q) {
        QStringList ids;
        while (q.executeStep()) {
            const SQLite::Column v = q.getColumn(1);
            if (!v.isNull() && keep(text(v))) ids << text(q.getColumn(0));
        }
        q.tryReset();
        return distinctObjects(std::move(ids), false);
    };
    const QString match = m_hasTrigrams ? trigramQuery(runs) : QString();
    if (!match.isEmpty()) {
        SQLite::Statement& q = statement(std::string("SELECT O, V FROM DATA WHERE rowid IN (SELECT rowid FROM ") +
                                         kTrigramTable + " WHERE " + kTrigramTable + " MATCH ?) ORDER BY rowid");
        q.bind(1, match.toStdString());
        return collect(q);
    }
    // Too short for trigrams (or no index): SQLite's LIKE, which folds ASCII letters, passes
    // on only the rows holding the longest run in one of its spellings.
    QString longest;
    for (const QString& run : runs)
        if (run.size() > longest.size()) longest = run;
    QStringList likes;
    for (const QString& s : longest.isEmpty() ? QStringList() : spellings(longest, kMaxSpellings))
        likes << QLatin1Char('%') + escapeLike(s) + QLatin1Char('%');
    SQLite::Statement& q = statement("SELECT O, V FROM DATA NOT INDEXED" +
                                     (likes.isEmpty() ? std::string() : " WHERE " + likeAny(likes.size(), mayHoldBlobs())));
    bindAll(q, likes);
    return collect(q);
}

QStringList SqliteEngine::objectsWithValue(const QString& value) {
    const QStringList spelt = spellings(value, kMaxSpellings);
    if (spelt.isEmpty()) return narrowedObjects({jet::fold(value)}, [&](const QString& v) { return jet::equal(v, value); });
    if (!m_hasNonTextIndex) {
        // No indexes to help: one scan, numbers and blobs compared as their text.
        return scanObjects("CAST(V AS TEXT) COLLATE NOCASE " + oneOf(spelt.size()), spelt);
    }
    // Text values through the index, and the few numbers and blobs by their text, merged in the
    // order the rows were stored.
    QList<std::pair<qint64, QString>> hits;
    SQLite::Statement& q =
        statement("SELECT rowid, O FROM DATA WHERE V COLLATE NOCASE " + oneOf(spelt.size()) + " ORDER BY rowid");
    bindAll(q, spelt);
    while (q.executeStep()) hits.push_back({q.getColumn(0).getInt64(), text(q.getColumn(1))});
    q.tryReset();
    SQLite::Statement& other = statement(std::string("SELECT rowid, O, CAST(V AS TEXT) FROM DATA INDEXED BY "
                                                     "DATA_V_NONTEXT WHERE ") + kNonTextWhere);
    bool more = false;
    while (other.executeStep())
        if (jet::equal(text(other.getColumn(2)), value)) {
            hits.push_back({other.getColumn(0).getInt64(), text(other.getColumn(1))});
            more = true;
        }
    other.tryReset();
    if (more) std::stable_sort(hits.begin(), hits.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList ids;
    ids.reserve(hits.size());
    for (auto& h : hits) ids << std::move(h.second);
    return distinctObjects(std::move(ids), false);
}

QStringList SqliteEngine::objectsMatching(const QString& pattern) {
    const jet::Pattern p(pattern);
    const std::optional<QStringList> likes = p.likeForms(kMaxSpellings);
    if (!likes) return narrowedObjects(p.literalRuns(), [&](const QString& v) { return p.matches(v); });
    // LIKE says exactly what matches; the trigram index, where the text is long enough, says
    // where to look.
    const QString match = m_hasTrigrams ? trigramQuery(p.literalRuns()) : QString();
    if (match.isEmpty()) return scanObjects(likeAny(likes->size(), mayHoldBlobs()), *likes);
    SQLite::Statement& q = statement(std::string("SELECT O FROM DATA WHERE rowid IN (SELECT rowid FROM ") +
                                     kTrigramTable + " WHERE " + kTrigramTable + " MATCH ?1) AND " +
                                     likeAny(likes->size(), mayHoldBlobs(), 2) + " ORDER BY rowid");
    q.bind(1, match.toStdString());
    bindAll(q, *likes, 2);
    QStringList ids;
    while (q.executeStep()) ids << text(q.getColumn(0));
    q.tryReset();
    return distinctObjects(std::move(ids), false);
}

QStringList SqliteEngine::findObjects(const QString& text, bool containing) {
    return guarded([&] {
        return containing ? objectsMatching(QStringLiteral("*") + text + QStringLiteral("*"))
                          : objectsWithValue(text);
    });
}

bool SqliteEngine::isTaken(const QString& id) {
    const QStringList spelt = spellings(id, kMaxSpellings);
    if (spelt.isEmpty()) return !rowsOf(id).isEmpty();
    SQLite::Statement& q = statement("SELECT O FROM DATA WHERE O COLLATE NOCASE " + oneOf(spelt.size()));
    bindAll(q, spelt);
    bool taken = false;
    while (!taken && q.executeStep()) taken = jet::equal(text(q.getColumn(0)), id);
    q.tryReset();
    return taken;
}

bool SqliteEngine::exists(const QString& id) {
    return guarded([&] { return isTaken(id); });
}

qint64 SqliteEngine::countObjects() {
    return guarded([&] {
        SQLite::Statement& all = statement("SELECT count(DISTINCT O COLLATE NOCASE) FROM DATA");
        all.executeStep();
        qint64 count = all.getColumn(0).getInt64();
        all.tryReset();
        // NOCASE folds ASCII letters only: identifiers with other characters are folded here,
        // and one that folds to plain ASCII ("aſ") is the same object as a group counted ("AS").
        SQLite::Statement& others = statement(
            std::string("SELECT DISTINCT O FROM DATA ") +
            (m_hasNonAsciiIndex ? "INDEXED BY DATA_O_NONASCII " : "") +
            "WHERE length(O) <> length(CAST(O AS BLOB))");
        QSet<QString> nocase, folded;
        while (others.executeStep()) {
            const QString o = text(others.getColumn(0));
            QString asciiLower = o;
            for (QChar& c : asciiLower)
                if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = c.toLower();
            nocase << asciiLower;
            folded << jet::fold(o);
        }
        others.tryReset();
        count -= nocase.size();
        count += folded.size();
        for (const QString& f : std::as_const(folded)) {
            if (!isAscii(f)) continue;
            SQLite::Statement& asciiTwin = statement("SELECT 1 FROM DATA WHERE O = ? COLLATE NOCASE LIMIT 1");
            asciiTwin.bind(1, f.toStdString());
            if (asciiTwin.executeStep()) --count;
            asciiTwin.tryReset(); // let go of the read
        }
        return count;
    });
}

} // namespace olv
