#include "frmcardview.h"

#include "app/pictures.h"
#include "app/ui.h"
#include "app/windowregistry.h"
#include "editing/frmdataentry.h"
#include "platform/clipboard.h"
#include "text/rtf.h"

#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QResizeEvent>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTextDocument>

namespace olv {

namespace {

// The designed client area; the cards fill it and whatever the user adds.
const QSize designedSize() { return QSize(tw(6435), tw(6330)); }
// Two cards side by side at the designed size, beside the scroll bar.
QSize cellSize() { return QSize(tw(3060), tw(2340)); }
constexpr int kGap = 3; // around a card inside its cell
constexpr int kPad = 5; // inside a card
QSize thumbnailSize() { return QSize(tw(840), tw(840)); }

// A thumbnail read at its small size straight away and never scaled again when drawn.
QImage thumbnailOf(const QString& path, QSize box) { return readPicture(path, box); }

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
        p->setPen(selected ? QPen(pal.color(QPalette::Highlight), 2) : QPen(pal.color(QPalette::Mid)));
        p->setBrush(pal.color(QPalette::Base));
        p->drawRect(card);

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
            p->drawText(QRect(inner.left(), y, width(), line), Qt::AlignLeft | Qt::AlignVCenter, shown);
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

CardModel::CardModel(const Store& store, QStringList ids, QSize thumbnailSize, QObject* parent)
    : QAbstractListModel(parent), m_store(store), m_ids(std::move(ids)), m_thumbnailSize(thumbnailSize),
      m_blocks(kBlocksKept), m_faces(kFacesKept) {
    m_painters.setMaxThreadCount(1); // the other core stays with the window
}

CardModel::~CardModel() {
    // Pictures not started yet are no longer wanted; those under way finish first, as they
    // report back to this model.
    m_painters.clear();
    m_painters.waitForDone();
}

void CardModel::extrasMade(int row, const QImage& thumbnail, const QStringList& noteLines) {
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
        const Card& c = card(index.row());
        return c.name + QStringLiteral(", ") + c.className;
    }
    default:
        return {};
    }
}

const Card& CardModel::card(int row) const {
    const int block = row / kBlock;
    if (QList<Card>* cards = m_blocks.object(block)) return (*cards)[row % kBlock];
    const QStringList ids = m_ids.mid(qsizetype(block) * kBlock, kBlock);
    auto cards = new QList<Card>;
    try {
        *cards = CardCommand(m_store).cards(ids);
    } catch (const StoreError&) {
        // The file went away since the search: the cards show what the search knew.
        cards->clear();
        for (const QString& id : ids) cards->push_back({id, id, kNotAvailable, {}, {}, {}});
    }
    m_blocks.insert(block, cards);
    return (*cards)[row % kBlock];
}

const CardFace& CardModel::face(int row) const {
    if (CardFace* face = m_faces.object(row)) return *face;
    auto face = new CardFace{card(row), {}, {}};
    face->thumbnailComing = !face->card.picture.isNull();
    face->noteComing = !face->card.note.isNull();
    if ((face->thumbnailComing || face->noteComing) && !m_making.contains(row)) {
        m_making.insert(row);
        auto self = const_cast<CardModel*>(this); // the cache, not the rows, changes
        m_painters.start([self, row, picture = face->card.picture, note = face->card.note, box = m_thumbnailSize] {
            const QImage thumbnail = picture.isNull() ? QImage() : thumbnailOf(picture, box);
            const QStringList lines = note.isNull() ? QStringList() : noteLinesOf(note, kNoteLines);
            QMetaObject::invokeMethod(self, [self, row, thumbnail, lines] { self->extrasMade(row, thumbnail, lines); },
                                      Qt::QueuedConnection);
        });
    }
    m_faces.insert(row, face);
    return *face;
}

frmCardView::frmCardView(Context& context, QStringList ids, QWidget* parent) : QWidget(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmCardView"));
    setWindowTitle(QStringLiteral("Olv :: CardView"));
    setAttribute(Qt::WA_DeleteOnClose); // "Card" builds a new one each time
    setMinimumSize(designedSize());
    resize(designedSize());

    m_cards = named(new QListView(this), "lstCards", QStringLiteral("found objects as cards"));
    m_cards->setGeometry(QRect(QPoint(0, 0), designedSize()));
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
    m_cards->setModel(new CardModel(m_ctx.store, std::move(ids), thumbnailSize(), m_cards));
    connect(m_cards, &QListView::clicked, this, &frmCardView::select);
    // A double-click, or Enter on the current card.
    connect(m_cards, &QListView::activated, this, &frmCardView::open);

    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

void frmCardView::select(const QModelIndex& index) {
    if (!index.isValid()) return;
    // As a click on its node in the tree: the key of a found object is its identifier.
    const QString id = index.data(CardModel::kIdRole).toString();
    m_ctx.currentObjectId = id;
    m_ctx.clipboard->setText(id);
}

void frmCardView::open(const QModelIndex& index) {
    if (!index.isValid()) return;
    select(index);
    // The data-entry window takes its object from the clipboard; an open one keeps its own.
    m_ctx.windows->open<frmDataEntry>([this] { return new frmDataEntry(m_ctx); });
}

void frmCardView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_cards->setGeometry(rect());
}

} // namespace olv
