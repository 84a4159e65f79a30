#pragma once
// The previews beside the property grid: the picture (Image1) or the note (rtbNote) that a
// clicked value names. A picture is read no larger than the screen and fitted to its box, again
// whenever the box changes size; a note is read on a thread of its own, and only the latest
// click's note is shown.

#include <QImage>
#include <QObject>

class QLabel;
class QTextDocument;
class QTextEdit;
class QThreadPool;

namespace olv {

class PreviewPane : public QObject {
    Q_OBJECT
public:
    // Makes the two boxes in parent, hidden; the window places them.
    explicit PreviewPane(QWidget* parent);
    // Waits for notes still being read.
    ~PreviewPane() override;

    QLabel* pictureBox() const { return m_Image1; }
    QTextEdit* noteBox() const { return m_rtbNote; }

    void showPicture(const QString& path);
    void hidePicture();
    void readNote(const QString& path);
    void hideNote();
    // Both go, also a note still coming.
    void clear();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitPicture();
    void noteRead(quint64 wanted, QTextDocument* doc, bool read);

    QLabel* m_Image1 = nullptr;
    QImage m_picture; // as read, before it is fitted to the box
    QTextEdit* m_rtbNote = nullptr;
    QThreadPool* m_noteReaders = nullptr;
    quint64 m_noteWanted = 0; // counts the clicks that show or hide a note
};

} // namespace olv
