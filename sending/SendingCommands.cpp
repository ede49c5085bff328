#include "sending/SendingCommands.h"

#include "sending/EmailManagerForm.h"
#include "sending/HistoryManagerForm.h"
#include "sending/SendChecks.h"
#include "sending/SendMailForm1.h"
#include "sending/SignatureManagerForm.h"
#include "sending/ThreadForm.h"

// Windows are made for each showing; a sending window the countdown closed is gone with its run.
void RunSendCommand(QWidget* parent) {
    if (!RunSendChecks(parent))
        return;
    SendMailForm1 form(parent);
    form.exec();
}

void ShowEmailManager(QWidget* parent) {
    EmailManagerForm form(parent);
    form.exec();
}

void ShowHistoryManager(QWidget* parent) {
    HistoryManagerForm form(parent);
    form.exec();
}

void ShowSignatureManager(QWidget* parent) {
    SignatureManagerForm form(parent);
    form.exec();
}

void ShowThreadOptions(QWidget* parent) {
    ThreadForm form(parent);
    form.exec();
}
