#include "app/AreaWindows.h"

#include "content/RegisterContentWindows.h"
#include "tools/RegisterMessageFileTools.h"
#include "tools/RegisterNetworkTools.h"
#include "tools/RegisterSupportTools.h"
#include "transfer/RegisterTransferWindows.h"

void RegisterAreaWindows() {
    RegisterTransferWindows();
    RegisterContentWindows();
    RegisterSupportWindows();
    RegisterNetworkToolsWindow();
    RegisterMessageFileWindows();
}
