#include "sending/forms/SendingCommands.h"

#include "sending/forms/ComposerInput.h"
#include "sending/forms/HistoryManagerForm.h"
#include "sending/forms/SendChecks.h"
#include "sending/forms/SendMailForm1.h"
#include "sending/forms/SignatureManagerForm.h"
#include "sending/forms/ThreadForm.h"
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
