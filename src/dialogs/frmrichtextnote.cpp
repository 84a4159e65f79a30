#include "frmrichtextnote.h"

#include "commands/links.h"
#include "platform/prompter.h"
#include "text/rtf.h"
#include "widgets/controls.h"

#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <optional>
#include <string_view>

namespace olv {

using namespace dialogs;

namespace {

// Whether every character from start to end has the attribute.
bool allHave(const QTextDocument* doc, int start, int end, const std::function<bool(const QTextCharFormat&)>& has) {
    bool any = false;
    for (QTextBlock block = doc->findBlock(start); block.isValid() && block.position() < end; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() + fragment.length() <= start || fragment.position() >= end) continue;
            if (!has(fragment.charFormat())) return false;
            any = true;
        }
    }
    return any;
}

// What a toolbar button's key stands for: how to tell the attribute and how to set it.
struct Attribute {
    std::function<bool(const QTextCharFormat&)> has;
    std::function<void(QTextCharFormat&, bool)> set;
};

std::optional<Attribute> attributeOf(const QString& key) {
    if (key == u"Bold")
        return Attribute{[](const QTextCharFormat& f) { return f.fontWeight() >= QFont::DemiBold; },
                         [](QTextCharFormat& f, bool on) { f.setFontWeight(on ? QFont::Bold : QFont::Normal); }};
    if (key == u"Italic")
        return Attribute{[](const QTextCharFormat& f) { return f.fontItalic(); },
                         [](QTextCharFormat& f, bool on) { f.setFontItalic(on); }};
    if (key == u"Underline")
        return Attribute{[](const QTextCharFormat& f) { return f.fontUnderline(); },
                         [](QTextCharFormat& f, bool on) { f.setFontUnderline(on); }};
    return std::nullopt;
}

} // namespace

frmRichTextNote::frmRichTextNote(Context& context, QWidget* parent) : QWidget(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmRichTextNote"));
    setWindowTitle(QStringLiteral("Olv - Rich Text Note"));
    setAttribute(Qt::WA_DeleteOnClose); // the next opening loads afresh
    resize(tw(6645), tw(6795));

    m_txtProperty = addBox(this, "txtProperty", QStringLiteral("property"), QStringLiteral("property name"),
                           twRect(50, 1050, 2895, 285));
    selectAllOnFocus(m_txtProperty);
    auto cmdAddNote = addButton(this, "cmdAddNote", QStringLiteral("add note"), twRect(50, 6480, 975, 255));
    connect(cmdAddNote, &QPushButton::clicked, this, &frmRichTextNote::cmdAddNote_Click);

    m_Toolbar1 = named(new QToolBar(this), "Toolbar1", QStringLiteral("formatting"));
    m_Toolbar1->setGeometry(twRect(0, 0, 6645, 630));
    m_Toolbar1->setMovable(false);
    m_Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QList<QToolButton*> buttons;
    for (const char* key : {"Bold", "Italic", "Underline"}) {
        QAction* action = m_Toolbar1->addAction(QString::fromLatin1(key));
        action->setObjectName(QString::fromLatin1(key));
        action->setCheckable(true); // shows whether the selection has it
        auto button = qobject_cast<QToolButton*>(m_Toolbar1->widgetForAction(action));
        button->setObjectName(QStringLiteral("Toolbar1") + QString::fromLatin1(key));
        // Reachable with Tab; a click leaves the focus, and so the selection, in the note.
        button->setFocusPolicy(Qt::TabFocus);
        // Each caption shows what its button does.
        QFont look = button->font();
        look.setBold(key == std::string_view("Bold"));
        look.setItalic(key == std::string_view("Italic"));
        look.setUnderline(key == std::string_view("Underline"));
        button->setFont(look);
        buttons << button;
    }
    connect(m_Toolbar1, &QToolBar::actionTriggered, this, &frmRichTextNote::Toolbar1_ButtonClick);

    m_rtbNote = named(new QTextEdit(this), "rtbNote", QStringLiteral("note"));
    m_rtbNote->setGeometry(twRect(50, 1440, 6615, 4935));
    m_rtbNote->setTabChangesFocus(true); // Tab moves on, as in the other windows
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(12);
    m_rtbNote->setFont(arial); // also the default of the note's document
    m_rtbNote->setPlainText(QStringLiteral("type your note here"));
    // The buttons follow the caret and the selection.
    connect(m_rtbNote, &QTextEdit::currentCharFormatChanged, this, &frmRichTextNote::showFormat);
    connect(m_rtbNote, &QTextEdit::selectionChanged, this, &frmRichTextNote::showFormat);
    connect(m_rtbNote, &QTextEdit::cursorPositionChanged, this, &frmRichTextNote::showFormat);

    addLabel(this, "lblProperty", QStringLiteral("set a property name for the note, e.g. ' my opinion'"),
             twRect(50, 720, 4935, 255))
        ->setBuddy(m_txtProperty);

    setTabOrder(m_rtbNote, buttons[0]);
    setTabOrder(buttons[0], buttons[1]);
    setTabOrder(buttons[1], buttons[2]);
    setTabOrder(buttons[2], cmdAddNote);
    setTabOrder(cmdAddNote, m_txtProperty);
    Form_Load();
}

void frmRichTextNote::Form_Load() {
    // Typing replaces the sample text.
    m_rtbNote->selectAll();
    m_rtbNote->setFocus();
}

bool frmRichTextNote::selectionHas(const std::function<bool(const QTextCharFormat&)>& has) const {
    // Without a selection: the format of what is typed next.
    const QTextCursor cursor = m_rtbNote->textCursor();
    return cursor.hasSelection()
               ? allHave(m_rtbNote->document(), cursor.selectionStart(), cursor.selectionEnd(), has)
               : has(m_rtbNote->currentCharFormat());
}

void frmRichTextNote::showFormat() {
    for (QAction* button : m_Toolbar1->actions())
        if (const std::optional<Attribute> attribute = attributeOf(button->objectName()))
            button->setChecked(selectionHas(attribute->has));
}

void frmRichTextNote::Toolbar1_ButtonClick(QAction* button) {
    const std::optional<Attribute> attribute = attributeOf(button->objectName());
    if (!attribute) return;
    // On for the whole selection: off; off or mixed: on for all of it.
    QTextCharFormat change;
    attribute->set(change, !selectionHas(attribute->has));
    m_rtbNote->mergeCurrentCharFormat(change);
    showFormat();
}

void frmRichTextNote::cmdAddNote_Click() {
    LinkCommands::Note note;
    try {
        BusyCursor busy;
        note = LinkCommands(m_ctx.store)
                   .addNote(m_ctx.currentObjectId, m_txtProperty->text(), rtf::write(*m_rtbNote->document()));
    } catch (const StoreError& e) {
        m_ctx.prompter->error(this, e.message());
        return;
    }
    if (note.outcome == LinkCommands::Outcome::NoObject)
        m_ctx.prompter->message(this, LinkCommands::kNoObjectForNote);
    else if (note.outcome == LinkCommands::Outcome::NotWritten)
        m_ctx.prompter->error(this, note.problem);
}

} // namespace olv
