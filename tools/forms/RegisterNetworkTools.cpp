#include "tools/forms/RegisterNetworkTools.h"

#include "tools/forms/NetworkToolsForm.h"
#include "ui/CommandWindows.h"
#include "ui/ModalDialog.h"

void RegisterNetworkToolsWindow() {
    CommandWindows::Register(1128,
                             [](QWidget* parent, Composer&) { ShowModalDialog<NetworkToolsForm>(parent); });
}
