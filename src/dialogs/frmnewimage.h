#pragma once
// Links a picture file to the object clicked last: the user picks the file, sees it previewed,
// names the property, and each press of the add button appends one row with the file's path.
// The picture itself stays where it is.

#include "app/context.h"

#include <QWidget>

class QLabel;
class QLineEdit;

namespace olv {

class frmNewImage : public QWidget {
    Q_OBJECT
public:
    explicit frmNewImage(Context& context, QWidget* parent = nullptr);

private:
    void cmdOpen_Click();
    void cmdAdd_Click();
    void showPreview(const QString& path);

    Context& m_ctx;
    QLabel* m_picPreview = nullptr;
    QLabel* m_lblImageLink = nullptr;
    QLineEdit* m_txtProperty = nullptr;
};

} // namespace olv
