#include "frmcardview.h"

#include "editing/frmdataentry.h"
#include "platform/picture.h"
#include "text/rtf.h"
#include "views/aside.h"
#include "widgets/ui.h"
#include "widgets/windowregistry.h"

#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QResizeEvent>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <atomic>
#include <optional>

namespace olv {

namespace {

// Two cards side by side at the designed size, beside the scroll bar.
QSize cellSize() { return QSize(tw(3060), tw(2340)); }
constexpr int kGap = 3; // around a card inside its cell
constexpr int kPad = 5; // inside a card
QSize thumbnailSize() { return QSize(tw(840), tw(840)); }

QStringList noteLinesOf(const QString& path, int count) {
    QTextDocument doc;
    if (!rtf::load(path, doc)) return {};
    return CardCommand::firstLines(rtf::plainText(doc), count);
}

class CardDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return cellSize() - QSize(2 * kGap, 2 * kGap);
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const CardFace& face = static_cast<const CardModel*>(index.model())->face(index.row());
        const QPalette& pal = option.palette;
        const bool selected = option.state & QStyle::State_Selected;
        const QRect card = option.rect.adjusted(0, 0, -1, -1);
        p->save();
        p->setClipRect(option.rect, Qt::IntersectClip);
        p->setPen(selected ? QPen(pal.color(QPalette::Highlight), 2) : QPen(pal.color(QPalette::Mid)));
        p->setBrush(pal.color(QPalette::Base));
        p->drawRect(card);
        if (face.cardComing) { // drawn whole once read
            p->restore();
            return;
        }

        const QRect inner = card.adjusted(kPad, kPad, -kPad, -kPad);
        const QFontMetrics plain(option.font);
        const int line = plain.height();
        int y = inner.top();
        // The picture sits top right; the lines beside it are narrower.
        int beside = inner.width();
        if (face.thumbnailComing) {
            p->fillRect(QRect(QPoint(inner.right() + 1 - thumbnailSize().width(), inner.top()), thumbnailSize()),
                        pal.color(QPalette::AlternateBase));
            beside -= thumbnailSize().width() + kPad;
        } else if (!face.thumbnail.isNull()) {
            const QSize box = thumbnailSize();
            const QPoint at(inner.right() + 1 - box.width() + (box.width() - face.thumbnail.width()) / 2, inner.top());
            p->drawImage(at, face.thumbnail);
            beside -= box.width() + kPad;
        }
        const int thumbBottom = beside == inner.width() ? y : inner.top() + thumbnailSize().height();
        const auto width = [&] { return y < thumbBottom ? beside : inner.width(); };
        const auto text = [&](const QString& s, const QFont& font, const QColor& colour) {
            p->setFont(font);
            p->setPen(colour);
            const QString shown = QFontMetrics(font).elidedText(QString(s).replace(QLatin1Char('\n'), QLatin1Char(' ')),
                                                                Qt::ElideRight, width());
            // Not clipped to the line: an underscore reaches below the font's descent. The card
            // keeps everything within it.
            p->drawText(QRect(inner.left(), y, width(), line), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, shown);
            y += line;
        };

        QFont bold = option.font;
        bold.setBold(true);
        QFont italic = option.font;
        italic.setItalic(true);
        const QColor ink = pal.color(QPalette::Text), faint = pal.color(QPalette::PlaceholderText);
        text(face.card.name, bold, ink);
        text(face.card.className, italic, faint);
        y += 2;

        // The note's lines take the bottom of the card; the properties what is left above them.
        const int noteLines = face.noteComing ? CardModel::kNoteLines : int(face.noteLines.size());
        const int noteTop = inner.bottom() + 1 - noteLines * line;
        for (const auto& [property, value] : face.card.properties) {
            if (y + line > (noteLines ? noteTop - 4 : inner.bottom() + 1)) break;
            text(property + QStringLiteral(": ") + value, option.font, ink);
        }
        if (noteLines) {
            p->setPen(pal.color(QPalette::Midlight));
            p->drawLine(inner.left(), noteTop - 2, inner.right(), noteTop - 2);
            y = noteTop;
            for (const QString& l : face.noteLines) text(l, italic, ink);
        }
        p->restore();
    }
};

} // namespace

// Reads cards on the readers' thread, on a connection of its own kept while the view shows the
// same file; made without search indexes or questions, which the search saw to already.
struct CardReader {
    explicit CardReader(QString path) : path(std::move(path)) {}
    const QString path;
    std::optional<Database> db;
    std::atomic<bool> gone = false;
};

CardModel::CardModel(const QString& path, QStringList ids, QSize thumbnailSize, QObject* parent)
    : QAbstractListModel(parent), m_reader(std::make_shared<CardReader>(path)), m_ids(std::move(ids)),
      m_thumbnailSize(thumbnailSize), m_blocks(kBlocksKept), m_faces(kFacesKept) {}

CardModel::~CardModel() { m_reader->gone = true; }

void CardModel::setCards(const QString& path, QStringList ids) {
    const bool same = ids == m_ids && path == m_reader->path;
    if (!same) beginResetModel();
    m_reader->gone = true;
    m_reader = std::make_shared<CardReader>(path);
    m_ids = std::move(ids);
    ++m_generation;
    m_blocks.clear();
    m_faces.clear();
    m_asked.clear();
    m_making.clear();
    // The same cards keep their place and selection; they are only read again.
    if (same && !m_ids.isEmpty()) emit dataChanged(index(0), index(int(m_ids.size()) - 1));
    if (!same) endResetModel();
}

void CardModel::blockRead(quint64 generation, int block, const QList<Card>& cards) {
    if (generation != m_generation) return;
    m_asked.remove(block);
    m_blocks.insert(block, new QList<Card>(cards));
    const int first = block * kBlock;
    emit dataChanged(index(first), index(first + int(cards.size()) - 1));
}

void CardModel::extrasMade(quint64 generation, int row, const QImage& thumbnail, const QStringList& noteLines) {
    if (generation != m_generation) return;
    m_making.remove(row);
    // A card scrolled out of the cache meanwhile gets them made again when next drawn.
    CardFace* face = m_faces.object(row);
    if (!face) return;
    face->thumbnail = thumbnail;
    face->noteLines = noteLines;
    face->thumbnailComing = face->noteComing = false;
    emit dataChanged(index(row), index(row));
}

QVariant CardModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_ids.size()) return {};
    switch (role) {
    case kIdRole:
        return m_ids[index.row()];
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        const Card* c = card(index.row());
        return c ? QVariant(c->name + QStringLiteral(", ") + c->className) : QVariant();
    }
    default:
        return {};
    }
}

const Card* CardModel::card(int row) const {
    const int block = row / kBlock;
    if (QList<Card>* cards = m_blocks.object(block)) return &(*cards)[row % kBlock];
    if (m_asked.contains(block)) return nullptr;
    m_asked.insert(block);
    auto self = const_cast<CardModel*>(this); // the cache, not the rows, changes
    aside::run(
        aside::readers(), self,
        [reader = m_reader, ids = m_ids.mid(qsizetype(block) * kBlock, kBlock)] {
            QList<Card> cards;
            if (reader->gone) return cards;
            try {
                if (!reader->db) reader->db.emplace(reader->path, Database::Indexes::Leave);
                cards = CardCommand::cards(*reader->db, ids);
            } catch (const std::exception&) {
                // The file went away or is locked since the search: the cards show what the
                // search knew.
                cards.clear();
                for (const QString& id : ids) cards.push_back({id, id, kNotAvailable, {}, {}, {}});
            }
            return cards;
        },
        [self, generation = m_generation, block](const QList<Card>& cards) { self->blockRead(generation, block, cards); });
    return nullptr;
}

const CardFace& CardModel::face(int row) const {
    if (CardFace* face = m_faces.object(row)) return *face;
    const Card* card = this->card(row);
    if (!card) {
        m_waiting = CardFace{Card{m_ids.value(row), {}, {}, {}, {}, {}}, {}, {}};
        m_waiting.cardComing = true;
        return m_waiting;
    }
    auto face = new CardFace{*card, {}, {}};
    face->thumbnailComing = !face->card.picture.isNull();
    face->noteComing = !face->card.note.isNull();
    if ((face->thumbnailComing || face->noteComing) && !m_making.contains(row)) {
        m_making.insert(row);
        auto self = const_cast<CardModel*>(this);
        aside::run(
            aside::painters(), self,
            [reader = m_reader, picture = face->card.picture, note = face->card.note, box = m_thumbnailSize] {
                std::pair<QImage, QStringList> made;
                if (reader->gone) return made; // closed meanwhile: not wanted
                // Read at its small size straight away, never scaled again when drawn.
                if (!picture.isNull()) made.first = readPictureWithin(picture, box);
                if (!note.isNull()) made.second = noteLinesOf(note, kNoteLines);
                return made;
            },
            [self, generation = m_generation, row](const std::pair<QImage, QStringList>& made) {
                self->extrasMade(generation, row, made.first, made.second);
            });
    }
    m_faces.insert(row, face);
    return *face;
}

frmCardView::frmCardView(Context& context, QStringList ids, QWidget* parent)
    : QWidget(parent), m_ctx(context), m_layout(this, QSize(6435, 6330)) {
    setObjectName(QStringLiteral("frmCardView"));
    setWindowTitle(QStringLiteral("Olv :: CardView"));
    // "Card" shows a later search here while the window is open; once closed, it is made anew.
    setAttribute(Qt::WA_DeleteOnClose);

    // The cards fill the window and whatever the user adds.
    m_cards = m_layout.add(named(new QListView(this), "lstCards", QStringLiteral("found objects as cards")),
                           {0, 0, 6435, 6330}, kGrowsBoth);
    m_cards->setViewMode(QListView::IconMode);
    m_cards->setMovement(QListView::Static);
    m_cards->setResizeMode(QListView::Adjust);
    m_cards->setUniformItemSizes(true);
    m_cards->setGridSize(cellSize());
    m_cards->setSelectionMode(QAbstractItemView::SingleSelection);
    m_cards->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_cards->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_cards->verticalScrollBar()->setSingleStep(tw(300));
    m_cards->setItemDelegate(new CardDelegate(m_cards));
    m_cards->setModel(new CardModel(m_ctx.store.path(), std::move(ids), thumbnailSize(), m_cards));
    connect(m_cards, &QListView::clicked, this, &frmCardView::select);
    // A double-click, or Enter on the current card.
    connect(m_cards, &QListView::activated, this, &frmCardView::open);

    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

void frmCardView::showCards(QStringList ids) {
    static_cast<CardModel*>(m_cards->model())->setCards(m_ctx.store.path(), std::move(ids));
}

void frmCardView::select(const QModelIndex& index) {
    // As a click on its node in the tree: the key of a found object is its identifier.
    if (index.isValid()) emit objectChosen(index.data(CardModel::kIdRole).toString());
}

void frmCardView::open(const QModelIndex& index) {
    if (!index.isValid()) return;
    select(index);
    // The data-entry window takes its object from the clipboard; an open one keeps its own.
    m_ctx.windows->open<frmDataEntry>([this] { return new frmDataEntry(m_ctx); });
}

void frmCardView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_layout.place();
}

} // namespace olv
