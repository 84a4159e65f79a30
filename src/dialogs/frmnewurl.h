#pragma once
// Makes web-link objects of the class "URL". The window stays on top so that an address can be
// dragged onto it from a browser; Enter in the address box fetches the page and copies its
// title into the name box.

#include "widgets/context.h"
#include "widgets/ui.h"

#include <QWidget>
#include <memory>
#include <optional>

class QLineEdit;
class QTemporaryFile;

namespace olv {

class frmNewURL : public QWidget {
    Q_OBJECT
public:
    explicit frmNewURL(Context& context, QWidget* parent = nullptr);
    ~frmNewURL() override;

    // True from Enter in the address box until the page has arrived or failed.
    bool fetching() const { return m_busy.has_value(); }

signals:
    void fetchFinished();

private:
    void Form_Load();
    void txtURL_KeyPress();
    void pageArrived(bool ok, const QByteArray& contentType);
    void cmdAdd_Click();

    Context& m_ctx;
    QLineEdit* m_txtURL = nullptr;
    QLineEdit* m_txtName = nullptr;
    QLineEdit* m_txtTopic = nullptr;
    QLineEdit* m_txtDescription = nullptr;
    std::unique_ptr<QTemporaryFile> m_page;
    std::optional<BusyCursor> m_busy;
};

} // namespace olv
