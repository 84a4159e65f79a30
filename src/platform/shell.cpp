#include "shell.h"

#include <QDesktopServices>
#include <QRegularExpression>
#include <QUrl>

namespace olv {

void DesktopShell::open(const QString& target) {
    static const QRegularExpression web(QStringLiteral("^[a-z][a-z0-9+.-]*://"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QUrl url = web.match(target).hasMatch() ? QUrl(target) : QUrl::fromLocalFile(target);
    // Like the shell call it replaces, the outcome is not looked at.
    QDesktopServices::openUrl(url);
}

} // namespace olv
