#include "tools/RegisterSupportTools.h"

#include "tools/ExtraForm5.h"
#include "tools/SupportForm.h"
#include "tools/UpdateForm.h"
#include "ui/CommandWindows.h"
#include "ui/ModalDialog.h"

void RegisterSupportWindows() {
    CommandWindows::Register(1078, [](QWidget* parent) { ShowModalDialog<ExtraForm5>(parent); });
    // The main window shows the support request only when the mail account is filled in.
    CommandWindows::Register(1083, [](QWidget* parent) { ShowModalDialog<SupportForm>(parent); });
    CommandWindows::Register(1084, [](QWidget* parent) { ShowModalDialog<UpdateForm>(parent); });
}
