#include "frmnewobjectclass.h"

#include "commands/objects.h"
#include "platform/prompter.h"
#include "widgets/controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>

namespace olv {

using namespace dialogs;

namespace {
const QString kClassHint = QStringLiteral("... select a class");
} // namespace

frmNewObjectClass::frmNewObjectClass(Context& context, QWidget* parent)
    : QWidget(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmNewObjectClass"));
    setWindowTitle(QStringLiteral("Olv :: create New Object / Class"));
    setAttribute(Qt::WA_DeleteOnClose); // the next opening loads afresh
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(tw(5385), tw(3705));
    buildControls();
    Form_Load();
}

void frmNewObjectClass::buildControls() {
    auto lblBelongsTo =
        addLabel(this, "lblBelongsTo", QStringLiteral("BelongsTo"), twRect(120, 120, 855, 255));
    setTextColor(lblBelongsTo, kGrey);
    m_lblObjectName =
        addLabel(this, "lblObjectName", QStringLiteral("ObjectName"), twRect(1080, 120, 4215, 255));
    setTextColor(m_lblObjectName, kBlue);

    auto line = named(new QFrame(this), "Line1", QStringLiteral("separator"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(tw(120), tw(480) - 1, tw(5280 - 120), 3); // centred on the designed rule

    m_chkClass = named(new QCheckBox(QStringLiteral("create a new class"), this), "chkClass");
    m_chkClass->setGeometry(twRect(720, 600, 1935, 195));
    connect(m_chkClass, &QCheckBox::toggled, this, &frmNewObjectClass::chkClass_Click);

    m_lblTOO = addLabel(this, "lblTOO", QStringLiteral("Class"), twRect(120, 900, 495, 255));
    m_cmbTOO = named(new QComboBox(this), "cmbTOO", QStringLiteral("class"));
    m_cmbTOO->setGeometry(twRect(720, 840, 2775, 315));
    m_cmbTOO->setEditable(true);
    m_cmbTOO->setInsertPolicy(QComboBox::NoInsert);
    // No completion: a class name that begins another one must stay as typed.
    m_cmbTOO->setCompleter(nullptr);
    m_lblTOO->setBuddy(m_cmbTOO);
    setTextColor(
        addLabel(this, "lblRequired", QStringLiteral("required"), twRect(3720, 960, 735, 255)),
        kRed);

    addLabel(this, "lblName", QStringLiteral("Name"), twRect(120, 1350, 495, 255));
    m_txtName = addBox(this, "txtName", QStringLiteral("... name"), QStringLiteral("name"),
                       twRect(720, 1320, 2775, 285));
    selectAllOnFocus(m_txtName);
    setTextColor(addLabel(this, "Label1", QStringLiteral("required"), twRect(3720, 1320, 735, 255)),
                 kRed);

    auto frame =
        named(new QGroupBox(QStringLiteral("user definable properties"), this), "fraProperties");
    frame->setGeometry(twRect(120, 1800, 5175, 1335));
    addLabel(frame, "lblProperty", QStringLiteral("property name"), twRect(120, 360, 1695, 255));
    addLabel(frame, "lblValue", QStringLiteral("value"), twRect(2520, 360, 2295, 255));
    // One row of the frame: property box, "=" and value box, at the given top.
    const auto addPair = [frame](const char* property, const char* equals, const char* value,
                                 const QString& which, int top) {
        QLineEdit* p = addBox(frame, property, QString(), which + QStringLiteral(" property name"),
                              twRect(120, top, 2055, 285));
        addLabel(frame, equals, QStringLiteral("="), twRect(2280, top + 15, 135, 255));
        QLineEdit* v = addBox(frame, value, QString(), which + QStringLiteral(" value"),
                              twRect(2520, top, 2535, 285));
        return std::pair{p, v};
    };
    std::tie(m_txtP1, m_txtV1) = addPair("txtP1", "lblIS", "txtV1", QStringLiteral("first"), 600);
    std::tie(m_txtP2, m_txtV2) = addPair("txtP2", "Label2", "txtV2", QStringLiteral("second"), 960);

    m_cmdAddNewObject = addButton(this, "cmdAddNewObject", QStringLiteral("Add New Object / Class"),
                                  twRect(120, 3240, 2175, 375));
    connect(m_cmdAddNewObject, &QPushButton::clicked, this,
            &frmNewObjectClass::cmdAddNewObject_Click);

    setTabOrder(m_cmbTOO, m_txtName);
    setTabOrder(m_txtName, m_txtP1);
    setTabOrder(m_txtP1, m_txtV1);
    setTabOrder(m_txtV1, m_txtP2);
    setTabOrder(m_txtP2, m_txtV2);
    setTabOrder(m_txtV2, m_cmdAddNewObject);
    setTabOrder(m_cmdAddNewObject, m_chkClass);
    m_cmbTOO->setFocus();
}

void frmNewObjectClass::Form_Load() {
    // The owner and the class list are read once per opening.
    try {
        BusyCursor busy; // opening may build indexes; a new identifier may wait a second
        Database db = m_ctx.store.open();
        if (!m_ctx.ownerObjectId.isEmpty())
            m_lblObjectName->setText(db.GetPropertyValue(m_ctx.ownerObjectId, kName));
        m_cmbTOO->addItems(db.classNames());
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
    }
    m_cmbTOO->setCurrentIndex(-1);
    m_cmbTOO->setEditText(kClassHint);
}

void frmNewObjectClass::chkClass_Click() {
    const bool makingClass = m_chkClass->isChecked();
    m_lblTOO->setEnabled(!makingClass);
    m_cmbTOO->setEnabled(!makingClass);
}

void frmNewObjectClass::cmdAddNewObject_Click() {
    ObjectCommands::NewObject input;
    // The text at the moment of the press counts, typed or picked.
    input.className = m_cmbTOO->currentText();
    input.makeClass = m_chkClass->isChecked();
    input.name = m_txtName->text();
    input.owner = m_ctx.ownerObjectId;
    input.properties = {{m_txtP1->text(), m_txtV1->text()}, {m_txtP2->text(), m_txtV2->text()}};
    ObjectCommands::Outcome outcome;
    try {
        BusyCursor busy; // a second object in the same second waits for the next one
        outcome = ObjectCommands(m_ctx.store, *m_ctx.clock).newObject(input);
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
        return;
    }
    // A missing name says nothing: the red "required" labels are hint enough.
    if (outcome == ObjectCommands::Outcome::UnknownClass)
        m_ctx.prompter->message(this, QStringLiteral("problem with class"));
}

} // namespace olv
