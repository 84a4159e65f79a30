#pragma once
// The system clipboard, plain text only. Node clicks hand the selected object to other commands
// through it, so it is a seam that tests replace.

#include <QString>

namespace olv {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual QString text() const = 0; // empty when the clipboard holds no text
    virtual void setText(const QString& text) = 0;
};

class SystemClipboard : public Clipboard {
public:
    QString text() const override;
    void setText(const QString& text) override;
};

} // namespace olv
