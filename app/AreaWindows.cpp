#include "app/AreaWindows.h"

#include "content/forms/RegisterContentWindows.h"
#include "tools/forms/RegisterMessageFileTools.h"
#include "tools/forms/RegisterNetworkTools.h"
#include "tools/forms/RegisterSupportTools.h"
#include "transfer/forms/RegisterTransferWindows.h"

void RegisterAreaWindows() {
    RegisterTransferWindows();
    RegisterContentWindows();
    RegisterSupportWindows();
    RegisterNetworkToolsWindow();
    RegisterMessageFileWindows();
}
