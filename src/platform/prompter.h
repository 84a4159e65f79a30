#pragma once
// Message boxes, file dialogs and questions answered by typing. Windows ask through this seam so that tests can answer.

#include <QString>
#include <optional>

class QWidget;

namespace olv {

inline const QString kAppTitle = QStringLiteral("Olv");

class Prompter {
public:
    virtual ~Prompter() = default;
    // A box with the text, an OK button and no icon.
    virtual void message(QWidget* parent, const QString& text, const QString& title = kAppTitle) = 0;
    // OK and Cancel, no icon; true for OK.
    virtual bool confirm(QWidget* parent, const QString& text, const QString& title) = 0;
    // A failure the user must know of; OK button, warning icon.
    virtual void error(QWidget* parent, const QString& text, const QString& title = kAppTitle) = 0;
    // An open-file dialog; the chosen path, or an empty string when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& folder,
                                 const QString& fileName, const QString& filter = QString()) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& folder,
                                 const QString& fileName, const QString& filter = QString()) = 0;
    // A line of text to type; nothing when cancelled.
    virtual std::optional<QString> text(QWidget* parent, const QString& title, const QString& label,
                                        const QString& initial = QString()) = 0;
    // The same, the typing shown as dots.
    virtual std::optional<QString> password(QWidget* parent, const QString& title, const QString& label) = 0;
};

class DialogPrompter : public Prompter {
public:
    void message(QWidget* parent, const QString& text, const QString& title = kAppTitle) override;
    bool confirm(QWidget* parent, const QString& text, const QString& title) override;
    void error(QWidget* parent, const QString& text, const QString& title = kAppTitle) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& folder,
                         const QString& fileName, const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& folder,
                         const QString& fileName, const QString& filter) override;
    std::optional<QString> text(QWidget* parent, const QString& title, const QString& label,
                                const QString& initial = QString()) override;
    std::optional<QString> password(QWidget* parent, const QString& title, const QString& label) override;
};

} // namespace olv
