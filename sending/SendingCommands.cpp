#include "sending/SendingCommands.h"

#include "sending/EmailManagerForm.h"
#include "sending/HistoryManagerForm.h"
#include "sending/SendChecks.h"
#include "sending/SendMailForm1.h"
#include "sending/SignatureManagerForm.h"
#include "sending/ThreadForm.h"
#include "ui/ModalDialog.h"

// Windows are made for each showing; a sending window the countdown closed is gone with its run.
void RunSendCommand(QWidget* parent) {
    if (!RunSendChecks(parent))
        return;
    ShowModalDialog<SendMailForm1>(parent);
}

void ShowEmailManager(QWidget* parent) {
    ShowModalDialog<EmailManagerForm>(parent);
}

void ShowHistoryManager(QWidget* parent) {
    ShowModalDialog<HistoryManagerForm>(parent);
}

void ShowSignatureManager(QWidget* parent) {
    ShowModalDialog<SignatureManagerForm>(parent);
}

void ShowThreadOptions(QWidget* parent) {
    ShowModalDialog<ThreadForm>(parent);
}
