#pragma once
// Writes a formatted note about the object clicked last: bold, italic and underline from the
// toolbar, kept as an RTF file beside the database with a row that leads to it.

#include "widgets/context.h"

#include <QWidget>
#include <functional>

class QAction;
class QLineEdit;
class QTextCharFormat;
class QTextEdit;
class QToolBar;

namespace olv {

class frmRichTextNote : public QWidget {
    Q_OBJECT
public:
    explicit frmRichTextNote(Context& context, QWidget* parent = nullptr);

private:
    void Form_Load();
    void Toolbar1_ButtonClick(QAction* button);
    // Checks the buttons whose attribute the selection (or the caret's format) has throughout.
    void showFormat();
    bool selectionHas(const std::function<bool(const QTextCharFormat&)>& has) const;
    void cmdAddNote_Click();

    Context& m_ctx;
    QLineEdit* m_txtProperty = nullptr;
    QToolBar* m_Toolbar1 = nullptr;
    QTextEdit* m_rtbNote = nullptr;
};

} // namespace olv
