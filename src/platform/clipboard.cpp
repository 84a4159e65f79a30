#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace olv {

QString SystemClipboard::text() const { return QGuiApplication::clipboard()->text(); }

void SystemClipboard::setText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

} // namespace olv
