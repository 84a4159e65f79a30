#pragma once
// Opening a web address or a document with the desktop's program for it.

#include <QString>

namespace olv {

class Shell {
public:
    virtual ~Shell() = default;
    // Web addresses open in the browser, anything else is taken as a file path.
    virtual void open(const QString& target) = 0;
};

class DesktopShell : public Shell {
public:
    void open(const QString& target) override;
};

} // namespace olv
