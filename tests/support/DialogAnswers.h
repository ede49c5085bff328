#pragma once
// Answers to the program's message boxes and file dialogs, for window tests (links widgets).
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

namespace testenv {

// Answers message boxes while it lives and keeps what they said.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    // Answers given in order; when they run out, the box's first button (Ok or Yes) is "pressed".
    void answer(QMessageBox::StandardButton button) { m_answers.push_back(button); }
    const std::vector<MessageBoxRequest>& seen() const { return m_seen; }
    QStringList texts() const;
    QString last() const { return m_seen.empty() ? QString() : m_seen.back().text; }

private:
    std::vector<MessageBoxRequest> m_seen;
    std::deque<QMessageBox::StandardButton> m_answers;
};

// Answers file dialogs while it lives; an empty answer is a cancel.
class FileDialogAnswers {
public:
    FileDialogAnswers();
    ~FileDialogAnswers();
    void answer(const QString& path) { m_answers.push_back(path); }
    const std::vector<FileDialogRequest>& seen() const { return m_seen; }

private:
    std::vector<FileDialogRequest> m_seen;
    std::deque<QString> m_answers;
};

} // namespace testenv
