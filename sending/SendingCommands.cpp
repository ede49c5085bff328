#include "sending/SendingCommands.h"

#include "sending/ComposerInput.h"
#include "sending/HistoryManagerForm.h"
#include "sending/SendChecks.h"
#include "sending/SendMailForm1.h"
#include "sending/SignatureManagerForm.h"
#include "sending/ThreadForm.h"
#include "ui/ModalDialog.h"

// Windows are made for each showing; a sending window the countdown closed is gone with its run.
void RunSendCommand(QWidget* parent, Composer& composer) {
    if (!RunSendChecks(parent, composer))
        return;
    SendMailForm1 form(parent);
    form.setInputSource([&composer] { return SendRunInputFrom(composer); });
    form.exec();
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
