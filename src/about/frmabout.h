#pragma once
// The About box: what the program is and its homepage, which a click opens in the browser.

#include "widgets/context.h"

#include <QWidget>

class QLabel;

namespace olv {

class frmAbout : public QWidget {
    Q_OBJECT
public:
    static inline const QString kHomepage = QStringLiteral("https://olv.sourceforge.io/");

    explicit frmAbout(Context& context, QWidget* parent = nullptr);

    void cmdOK_Click();
    void lblHomepage_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();

    Context& m_ctx;
    QLabel* m_lblHomepage = nullptr;
};

} // namespace olv
