#pragma once
// Links a picture file to the object clicked last: the user picks the file, sees it previewed,
// names the property, and each press of the add button appends one row with the file's path.
// The picture itself stays where it is.

#include "widgets/context.h"

#include <QWidget>

class QImage;
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
    // Reads the picture at the preview's size on another thread; the latest choice wins.
    void showPreview(const QString& path);
    void previewRead(int asked, const QImage& picture);

    Context& m_ctx;
    int m_previewAsked = 0; // the choices made, so that an earlier picture read late is dropped
    QLabel* m_picPreview = nullptr;
    QLabel* m_lblImageLink = nullptr;
    QLineEdit* m_txtProperty = nullptr;
};

} // namespace olv
