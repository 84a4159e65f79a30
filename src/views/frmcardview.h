#pragma once
// The card view: the objects of the current search as cards in a scrolling grid, each with its
// name, class, properties, a thumbnail of its first picture and the start of its first note.
// Only the cards scrolled into view are read and drawn, so a search of thousands opens at once.

#include "commands/cards.h"
#include "widgets/context.h"
#include "widgets/designedlayout.h"

#include <QAbstractListModel>
#include <QCache>
#include <QImage>
#include <QSet>
#include <QWidget>
#include <memory>

class QListView;

namespace olv {

// What a card shows, read when the card is first drawn.
struct CardFace {
    Card card;
    QStringList noteLines;
    QImage thumbnail; // null when there is no picture, it cannot be read or is still being read
    bool thumbnailComing = false;
    bool noteComing = false; // its lines are still being read; their room is kept
    bool cardComing = false; // the card itself is still being read: only its frame is drawn
};

struct CardReader;

// One row per found object. The cards are read a block at a time beside the window's thread and
// kept, within bounds; so are their thumbnails and note lines, so neither a busy file, a large
// photo nor a note on a slow disk holds up painting. A card is drawn again once they are there.
class CardModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kIdRole = Qt::UserRole;
    static constexpr int kBlock = 32;       // cards read together
    static constexpr int kBlocksKept = 64;  // 2,048 cards
    static constexpr int kFacesKept = 512;  // with thumbnails and notes
    static constexpr int kNoteLines = 3;

    CardModel(const QString& path, QStringList ids, QSize thumbnailSize, QObject* parent = nullptr);
    // Work under way is told it is no longer wanted; nothing waits for it.
    ~CardModel() override;

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_ids.size()); }
    QVariant data(const QModelIndex& index, int role) const override;
    // The card as far as it is read; until then one whose cardComing is set.
    const CardFace& face(int row) const;
    // The cards of another search, or of the same one read afresh.
    void setCards(const QString& path, QStringList ids);

private:
    const Card* card(int row) const;
    void blockRead(quint64 generation, int block, const QList<Card>& cards);
    void extrasMade(quint64 generation, int row, const QImage& thumbnail, const QStringList& noteLines);

    std::shared_ptr<CardReader> m_reader;
    QStringList m_ids;
    QSize m_thumbnailSize;
    quint64 m_generation = 0; // results of an earlier search are dropped
    mutable QCache<int, QList<Card>> m_blocks;
    mutable QCache<int, CardFace> m_faces;
    mutable QSet<int> m_asked;  // blocks being read
    mutable QSet<int> m_making; // rows whose thumbnail and note lines are being made
    mutable CardFace m_waiting;
};

class frmCardView : public QWidget {
    Q_OBJECT
public:
    frmCardView(Context& context, QStringList ids, QWidget* parent = nullptr);

    QListView* cards() const { return m_cards; }
    // The cards of a later search, in this window as the user left it.
    void showCards(QStringList ids);

signals:
    // A card was clicked: the main window shows its object as a click on its node does.
    void objectChosen(const QString& key);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void select(const QModelIndex& index);
    void open(const QModelIndex& index);

    Context& m_ctx;
    DesignedLayout m_layout; // the designed size is the smallest
    QListView* m_cards = nullptr;
};

} // namespace olv
