#pragma once
// Stand-ins for the desktop in tests: a clock the test moves, a private clipboard, a shell that
// records what it was asked to open, and a prompter that answers from a queue.

#include "platform/clipboard.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "store/clock.h"

#include <QDateTime>
#include <QQueue>
#include <QStringList>

namespace olv::test {

class FakeClock : public Clock {
public:
    QDateTime time = QDateTime(QDate(2002, 1, 3), QTime(12, 53, 22, 100));
    int sleptMs = 0;
    QDateTime now() const override { return time; }
    void sleepMs(int ms) override { sleptMs += ms, time = time.addMSecs(ms); }
};

class FakeClipboard : public Clipboard {
public:
    QString content;
    QString text() const override { return content; }
    void setText(const QString& text) override { content = text; }
};

class FakeShell : public Shell {
public:
    QStringList opened;
    void open(const QString& target) override { opened << target; }
};

struct Prompt {
    enum Kind { Message, Confirm, Error, OpenFile, SaveFile, Text, Password } kind;
    QString text, title; // for file dialogs, text is the folder and file offered; for questions, the label
    QString filter;      // file dialogs' file types
};

class FakePrompter : public Prompter {
public:
    QList<Prompt> shown;         // every box and dialog, in order
    QQueue<bool> confirmAnswers; // answers for confirm(); OK when empty
    QQueue<QString> fileAnswers; // answers for file dialogs; cancel (empty) when empty
    QQueue<QString> textAnswers; // answers for text() and password(); cancel when empty or null

    void message(QWidget*, const QString& text, const QString& title = kAppTitle) override {
        shown.push_back({Prompt::Message, text, title, {}});
    }
    bool confirm(QWidget*, const QString& text, const QString& title) override {
        shown.push_back({Prompt::Confirm, text, title, {}});
        return confirmAnswers.isEmpty() || confirmAnswers.dequeue();
    }
    void error(QWidget*, const QString& text, const QString& title = kAppTitle) override {
        shown.push_back({Prompt::Error, text, title, {}});
    }
    QString openFileName(QWidget*, const QString& title, const QString& folder, const QString& file,
                         const QString& filter) override {
        return fileDialog(Prompt::OpenFile, title, folder, file, filter);
    }
    QString saveFileName(QWidget*, const QString& title, const QString& folder, const QString& file,
                         const QString& filter) override {
        return fileDialog(Prompt::SaveFile, title, folder, file, filter);
    }
    std::optional<QString> text(QWidget*, const QString& title, const QString& label, const QString&) override {
        return question(Prompt::Text, title, label);
    }
    std::optional<QString> password(QWidget*, const QString& title, const QString& label) override {
        return question(Prompt::Password, title, label);
    }
    QStringList texts(Prompt::Kind kind) const {
        QStringList list;
        for (const Prompt& p : shown)
            if (p.kind == kind) list << p.text;
        return list;
    }

private:
    std::optional<QString> question(Prompt::Kind kind, const QString& title, const QString& label) {
        shown.push_back({kind, label, title, {}});
        const QString answer = textAnswers.isEmpty() ? QString() : textAnswers.dequeue();
        if (answer.isNull()) return std::nullopt;
        return answer;
    }
    QString fileDialog(Prompt::Kind kind, const QString& title, const QString& folder, const QString& file,
                       const QString& filter) {
        shown.push_back({kind, folder + QLatin1Char('/') + file, title, filter});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
};

} // namespace olv::test
