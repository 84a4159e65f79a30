#include "frmnewcollection.h"

#include "controls.h"
#include "platform/prompter.h"

namespace olv {

using namespace dialogs;

namespace {
const QString kCollectionClass = QStringLiteral("collection");
// The name box's hint begins with this word; a name that does too counts as not entered.
const QString kRequired = QStringLiteral("required");
} // namespace

frmNewCollection::frmNewCollection(Context& context, QWidget* parent)
    : QWidget(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmNewCollection"));
    setWindowTitle(QStringLiteral("Olv - New Collection"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(tw(6300), tw(1995));

    m_txtTopic = addBox(this, "txtTopic", QStringLiteral("coin"), QStringLiteral("topic"),
                        twRect(1200, 480, 4935, 285));
    m_txtDescription = addBox(this, "txtDescription", QStringLiteral("e.g. my dad's collection"),
                              QStringLiteral("description"), twRect(1200, 840, 4935, 285));
    auto cmdAdd = addButton(this, "cmdAdd", QStringLiteral("add this collection"),
                            twRect(1200, 1560, 1575, 375));
    connect(cmdAdd, &QPushButton::clicked, this, &frmNewCollection::cmdAdd_Click);
    m_txtName = addBox(this, "txtName", QStringLiteral("required : e.g. Robert's coins"),
                       QStringLiteral("name"), twRect(1200, 120, 4935, 285));
    setTextColor(m_txtName, kRed);
    addLabel(this, "lblTopic", QStringLiteral("Topic"), twRect(600, 510, 495, 255))
        ->setBuddy(m_txtTopic);
    addLabel(this, "lblDescription", QStringLiteral("Description"), twRect(0, 870, 1095, 255))
        ->setBuddy(m_txtDescription);
    auto lblName = addLabel(this, "lblName", QStringLiteral("Name"), twRect(600, 150, 495, 255));
    lblName->setBuddy(m_txtName);
    setTextColor(lblName, kRed);

    // Every box starts with a hint that typing should replace.
    for (QLineEdit* box : {m_txtName, m_txtTopic, m_txtDescription})
        selectAllOnFocus(box);

    setTabOrder(m_txtName, cmdAdd);
    setTabOrder(cmdAdd, m_txtDescription);
    setTabOrder(m_txtDescription, m_txtTopic);
    m_txtName->setFocus();
}

void frmNewCollection::cmdAdd_Click() {
    const QString name = m_txtName->text();
    try {
        BusyCursor busy; // opening may build indexes; a new identifier may wait a second
        Database db = m_ctx.store.open();
        // Made on every press, before the input is looked at.
        QString id = db.NewObjectId(*m_ctx.clock);
        if (name.trimmed().isEmpty() || name.startsWith(kRequired)) return;

        QString classId = db.FindClassId(kCollectionClass);
        if (classId == kNotAvailable) {
            // First collection of this database: the class is made with the identifier just
            // taken, and the collection waits for the next free one.
            classId = id;
            db.appendAll({{classId, kTOO, kClassValue}, {classId, kName, kCollectionClass}});
            id = db.NewObjectId(*m_ctx.clock);
        }
        QList<Row> rows = {{id, kTOO, classId}, {id, kName, name}};
        if (!m_txtTopic->text().trimmed().isEmpty())
            rows.push_back({id, kTopic, m_txtTopic->text()});
        if (!m_txtDescription->text().trimmed().isEmpty())
            rows.push_back({id, kDescription, m_txtDescription->text()});
        db.appendAll(rows);
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
        return;
    }
    m_ctx.prompter->message(this,
                            QStringLiteral("collection : ") + name + QStringLiteral(" added"));
}

} // namespace olv
