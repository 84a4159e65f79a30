#include "search.h"

namespace olv {

QString objectIdOf(const QString& key) {
    const qsizetype bar = key.indexOf(QLatin1Char('|'));
    return bar < 0 ? key : key.mid(bar + 1);
}

QString SearchCommand::countQuestion(qsizetype count) {
    return QString::number(count) + QStringLiteral("objects");
}

SearchCommand::SearchCommand(const Store& store, KeepGoing keepGoing)
    : m_store(store), m_keepGoing(std::move(keepGoing)) {}

Database& SearchCommand::db() {
    if (!m_db) {
        m_db.emplace(m_store.open());
        if (m_keepGoing) m_db->setKeepGoing(m_keepGoing);
    }
    return *m_db;
}

QString SearchCommand::rootText(const QString& text) {
    return isObjectId(text) ? db().GetPropertyValue(text, kName) : kRootKey;
}

QStringList SearchCommand::find(const QString& text, bool containing) {
    return db().findObjects(text, containing);
}

QStringList SearchCommand::related(const QString& key) { return db().findObjects(key, false); }

QList<std::pair<QString, QString>> SearchCommand::nodes(const QString& keyPrefix, const QStringList& ids) {
    const QStringList names = db().namesOf(ids);
    QList<std::pair<QString, QString>> nodes;
    nodes.reserve(ids.size());
    for (qsizetype i = 0; i < ids.size(); ++i)
        nodes.push_back({keyPrefix + ids[i], names[i].isNull() ? ids[i] : names[i]});
    return nodes;
}

} // namespace olv
