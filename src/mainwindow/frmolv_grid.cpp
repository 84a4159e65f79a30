// The main window's property grid: a value clicked or reached with the keys previews the picture
// or note it names; a double-click or Enter opens an address or a note.

#include "frmolv.h"

#include "platform/shell.h"
#include "previewpane.h"
#include "widgets/ui.h"

#include <QKeyEvent>
#include <QTableWidget>

#include <algorithm>

namespace olv {

void frmOlv::sizeGridColumns() {
    // The designed widths; the value column grows with the grid.
    const int grown = std::max(0, m_flxDATA->width() - tw(4935));
    m_flxDATA->setColumnWidth(0, tw(1500));
    m_flxDATA->setColumnWidth(1, tw(7000) + grown);
}

static QString cellValue(QTableWidget* grid, int row) {
    const QTableWidgetItem* item = grid->item(row, 1);
    return item ? item->text() : QString();
}

void frmOlv::flxDATA_Click(int row) {
    const QString value = cellValue(m_flxDATA, row);
    const QString upper = value.toUpper();
    if (upper.endsWith(QLatin1String(".GIF")) || upper.endsWith(QLatin1String(".JPG")) ||
        upper.endsWith(QLatin1String(".BMP"))) {
        m_previews->showPicture(value);
    } else {
        m_previews->hidePicture();
    }
    // The stored text names the file: file names are case-sensitive here.
    if (upper.endsWith(QLatin1String(".RTF"))) m_previews->readNote(value);
    else m_previews->hideNote();
}

void frmOlv::flxDATA_DblClick(int row) {
    const QString value = cellValue(m_flxDATA, row);
    const QString upper = value.toUpper();
    // File names are case-sensitive here: the stored text is what gets opened.
    if (upper.startsWith(QLatin1String("HTTP://")) || upper.startsWith(QLatin1String("HTTPS://")))
        m_ctx.shell->open(value);
    if (upper.endsWith(QLatin1String(".RTF"))) m_ctx.shell->open(value);
}

bool frmOlv::eventFilter(QObject* watched, QEvent* event) {
    // Enter on a grid row opens it as a double-click would.
    if (watched == m_flxDATA && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_flxDATA->currentRow() >= 0) {
            flxDATA_DblClick(m_flxDATA->currentRow());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace olv
