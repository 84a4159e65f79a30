#include "frmnewpv.h"

#include "commands/dataentry.h"
#include "frmdataentry.h"
#include "platform/prompter.h"
#include "widgets/controls.h"
#include "widgets/windowregistry.h"

namespace olv {

using namespace dialogs;

frmNewPV::frmNewPV(Context& context, QWidget* parent) : QWidget(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmNewPV"));
    setWindowTitle(QStringLiteral("Olv - New property"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(tw(5505), tw(975));

    m_txtProperty = addBox(this, "txtProperty", QStringLiteral("property"), QStringLiteral("property name"),
                           twRect(120, 120, 2415, 285));
    m_txtValue = addBox(this, "txtValue", QStringLiteral("value"), QStringLiteral("value"), twRect(2760, 120, 2535, 285));
    auto add = addButton(this, "cmdNewPV", QStringLiteral("add"), twRect(120, 600, 1335, 255));
    connect(add, &QPushButton::clicked, this, &frmNewPV::cmdNewPV_Click);
    // The default button: Enter in either box adds the row, as in a dialog.
    add->setDefault(true);
    for (QLineEdit* box : {m_txtProperty, m_txtValue}) connect(box, &QLineEdit::returnPressed, add, &QPushButton::click);
    // The boxes start with hints that typing should replace.
    selectAllOnFocus(m_txtProperty);
    selectAllOnFocus(m_txtValue);

    setTabOrder(m_txtProperty, m_txtValue);
    setTabOrder(m_txtValue, add);
    m_txtProperty->setFocus();
}

void frmNewPV::cmdNewPV_Click() {
    frmDataEntry* entry = m_ctx.windows->find<frmDataEntry>();
    if (!entry) return; // closes with the data-entry window; never adds to an object not shown
    DataEntryCommands::Outcome outcome;
    try {
        BusyCursor busy;
        // As typed: no trimming, and a hint left in place is stored.
        outcome = DataEntryCommands(m_ctx.store).add(entry->editedObjectId(), m_txtProperty->text(), m_txtValue->text());
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
        return;
    }
    if (outcome == DataEntryCommands::Outcome::NoObject) {
        m_ctx.prompter->message(this, DataEntryCommands::kNoObject);
        return;
    }
    entry->refresh();
}

} // namespace olv
