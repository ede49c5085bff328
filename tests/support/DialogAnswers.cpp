#include "tests/support/DialogAnswers.h"

namespace testenv {

MessageBoxRecorder::MessageBoxRecorder() {
    SetMessageBoxHook([this](const MessageBoxRequest& r) {
        m_seen.push_back(r);
        if (!m_answers.empty()) {
            const auto a = m_answers.front();
            m_answers.pop_front();
            return a;
        }
        for (auto b : {QMessageBox::Ok, QMessageBox::Yes})
            if (r.buttons & b)
                return b;
        return QMessageBox::Ok;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHook(nullptr);
}

QStringList MessageBoxRecorder::texts() const {
    QStringList out;
    for (const auto& r : m_seen)
        out << r.text;
    return out;
}

FileDialogAnswers::FileDialogAnswers() {
    SetFileDialogHook([this](const FileDialogRequest& r) {
        m_seen.push_back(r);
        if (m_answers.empty())
            return QString();
        const QString a = m_answers.front();
        m_answers.pop_front();
        return a;
    });
}

FileDialogAnswers::~FileDialogAnswers() {
    SetFileDialogHook(nullptr);
}

} // namespace testenv
