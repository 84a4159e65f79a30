#include "prompter.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace olv {

namespace {

QMessageBox::StandardButton ask(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                const QString& title, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title.isEmpty() ? kAppTitle : title, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString startPath(const QString& folder, const QString& fileName) {
    return fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
}

// Patterns may be given as "Pictures (*.bmp;*.gif;*.jpg)"; Qt's dialog takes them apart at blanks.
QString dialogFilter(const QString& filter) {
    QStringList entries = filter.split(QStringLiteral(";;"));
    for (QString& entry : entries) {
        const qsizetype open = entry.lastIndexOf(QLatin1Char('('));
        const qsizetype close = entry.lastIndexOf(QLatin1Char(')'));
        if (open < 0 || close < open) continue;
        for (qsizetype i = open + 1; i < close; ++i)
            if (entry[i] == QLatin1Char(';')) entry[i] = QLatin1Char(' ');
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace

void DialogPrompter::message(QWidget* parent, const QString& text, const QString& title) {
    ask(parent, QMessageBox::NoIcon, text, title, QMessageBox::Ok);
}

bool DialogPrompter::confirm(QWidget* parent, const QString& text, const QString& title) {
    return ask(parent, QMessageBox::NoIcon, text, title, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

void DialogPrompter::error(QWidget* parent, const QString& text, const QString& title) {
    ask(parent, QMessageBox::Warning, text, title, QMessageBox::Ok);
}

QString DialogPrompter::openFileName(QWidget* parent, const QString& title, const QString& folder,
                                     const QString& fileName, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, startPath(folder, fileName), dialogFilter(filter));
}

QString DialogPrompter::saveFileName(QWidget* parent, const QString& title, const QString& folder,
                                     const QString& fileName, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, title, startPath(folder, fileName), filter);
}

namespace {

std::optional<QString> askText(QWidget* parent, const QString& title, const QString& label, const QString& initial,
                               QLineEdit::EchoMode echo) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title.isEmpty() ? kAppTitle : title);
    dialog.setLabelText(label);
    dialog.setTextEchoMode(echo);
    dialog.setTextValue(initial);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

} // namespace

std::optional<QString> DialogPrompter::text(QWidget* parent, const QString& title, const QString& label,
                                            const QString& initial) {
    return askText(parent, title, label, initial, QLineEdit::Normal);
}

std::optional<QString> DialogPrompter::password(QWidget* parent, const QString& title, const QString& label) {
    return askText(parent, title, label, QString(), QLineEdit::Password);
}

} // namespace olv
