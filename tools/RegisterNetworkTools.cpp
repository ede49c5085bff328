#include "tools/RegisterNetworkTools.h"

#include "tools/NetworkToolsForm.h"
#include "ui/CommandWindows.h"
#include "ui/ModalDialog.h"

void RegisterNetworkToolsWindow() {
    CommandWindows::Register(1128,
                             [](QWidget* parent, Composer&) { ShowModalDialog<NetworkToolsForm>(parent); });
}
