#include "tools/forms/RegisterSupportTools.h"

#include "tools/forms/ExtraForm5.h"
#include "tools/forms/SupportForm.h"
#include "tools/forms/UpdateForm.h"
#include "ui/CommandWindows.h"
#include "ui/Composer.h"
#include "ui/ModalDialog.h"

void RegisterSupportWindows() {
    CommandWindows::Register(1078, [](QWidget* parent, Composer&) { ShowModalDialog<ExtraForm5>(parent); });
    // The main window shows the support request only when the mail account is filled in.
    CommandWindows::Register(1083, [](QWidget* parent, Composer& composer) {
        SupportForm form(composer.Priority(), composer.ReadReceipt(), parent);
        form.exec();
    });
    CommandWindows::Register(1084, [](QWidget* parent, Composer&) { ShowModalDialog<UpdateForm>(parent); });
}
