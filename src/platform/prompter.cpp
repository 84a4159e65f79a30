#include "prompter.h"

#include <QDir>
#include <QFileDialog>
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
    return QFileDialog::getOpenFileName(parent, title, startPath(folder, fileName), filter);
}

QString DialogPrompter::saveFileName(QWidget* parent, const QString& title, const QString& folder,
                                     const QString& fileName, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, title, startPath(folder, fileName), filter);
}

} // namespace olv
