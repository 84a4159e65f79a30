#include "frmnewcollection.h"

#include "commands/objects.h"
#include "platform/prompter.h"
#include "widgets/controls.h"

namespace olv {

using namespace dialogs;

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
    ObjectCommands::Outcome outcome;
    try {
        BusyCursor busy; // a second object in the same second waits for the next one
        outcome = ObjectCommands(m_ctx.store, *m_ctx.clock)
                      .newCollection(name, m_txtTopic->text(), m_txtDescription->text());
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
        return;
    }
    if (outcome == ObjectCommands::Outcome::Made)
        m_ctx.prompter->message(this, QStringLiteral("collection : ") + name + QStringLiteral(" added"));
}

} // namespace olv
