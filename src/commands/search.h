#pragma once
// The value search and related objects: what they find, the root's text, the rule that asks
// before a long listing, and the texts of the tree's nodes.

#include "openedonuse.h"

#include <optional>
#include <utility>

namespace olv {

// The object a tree key stands for: the text after the first "|", or the whole key.
QString objectIdOf(const QString& key);
// Whether commands may write for the object: not for the empty text (no node clicked yet) nor
// for the search root's key, which stands for no object.
bool standsForAnObject(const QString& id);

class SearchCommand {
public:
    static inline const QString kRootKey = QStringLiteral("Result");
    static inline const QString kCountTitle = QStringLiteral("so many objects");
    // More objects than this are listed only once the user agrees.
    static constexpr qsizetype kAskAbove = 10;
    static bool asksFirst(qsizetype count) { return count > kAskAbove; }
    static QString countQuestion(qsizetype count); // "11objects"

    // The file is opened on first use and kept until the command is done with.
    explicit SearchCommand(const Store& store, KeepGoing keepGoing = {});

    // The Name of the object the text names when it is an identifier ("N/A" when none),
    // otherwise "Result".
    QString rootText(const QString& text);
    // Objects holding a value equal to text, or containing it (a Like pattern).
    QStringList find(const QString& text, bool containing);
    // Objects that hold the key, exactly, as one of their values.
    QStringList related(const QString& key);
    // (key, text) of the nodes for found objects: keyPrefix + identifier, and the object's
    // Name, or its identifier where it has none.
    QList<std::pair<QString, QString>> nodes(const QString& keyPrefix, const QStringList& ids);

private:
    Database& db();

    OpenedOnUse m_db;
};

} // namespace olv
