#pragma once
// The message the main window composes, as the windows it opens see it. The main window implements
// this and hands it to each window that reads or changes the message when it opens it (tests hand in
// one of their own); no window reaches into the main window's controls.
#include "core/MessageChoices.h"

#include <QString>
#include <QStringList>

class HtmlEditor;

class Composer {
public:
    // The controls where the user goes on after a refused send: the Email Manager's and the Group
    // Manager's buttons and the subject box.
    enum class Field { AccountButton, GroupButton, Subject };

    virtual ~Composer() = default;

    // The message's editor; null only in a composer without one.
    virtual HtmlEditor* Editor() const = 0;
    virtual QString Subject() const = 0;
    virtual void SetSubject(const QString& subject) = 0;
    // The group chosen in the To list ("" when none), and how many groups the list offers.
    virtual QString Group() const = 0;
    virtual int GroupCount() const = 0;
    virtual MessageFormat Format() const = 0;
    virtual void SetFormat(MessageFormat format) = 0;
    virtual MessagePriority Priority() const = 0;
    virtual bool ReadReceipt() const = 0;
    virtual QStringList Attachments() const = 0;
    // Appends the files to the attachment list as they are (a name it holds already too), then shows
    // its first file, if it has one.
    virtual void AddAttachments(const QStringList& paths) = 0;
    // Gives the control the focus.
    virtual void FocusField(Field field) = 0;
};
