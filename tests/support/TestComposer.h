#pragma once
// A composer of the test's own making: plain values where the main window has its controls, and the
// test's editor (or none).
#include "ui/Composer.h"

#include <vector>

namespace testenv {

struct TestComposer : Composer {
    HtmlEditor* editor = nullptr;
    QString subject;
    QString group;      // the chosen entry of the To list
    int groupCount = 0; // the entries the To list offers
    MessageFormat format = MessageFormat::Html;
    MessagePriority priority = MessagePriority::Normal;
    bool readReceipt = false;
    QStringList attachments;
    std::vector<Field> focused; // every FocusField, in order

    HtmlEditor* Editor() const override { return editor; }
    QString Subject() const override { return subject; }
    void SetSubject(const QString& text) override { subject = text; }
    QString Group() const override { return group; }
    int GroupCount() const override { return groupCount; }
    MessageFormat Format() const override { return format; }
    void SetFormat(MessageFormat value) override { format = value; }
    MessagePriority Priority() const override { return priority; }
    bool ReadReceipt() const override { return readReceipt; }
    QStringList Attachments() const override { return attachments; }
    void AddAttachments(const QStringList& paths) override { attachments += paths; }
    void FocusField(Field field) override { focused.push_back(field); }
};

} // namespace testenv
