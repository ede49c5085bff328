#include "app/AreaWindows.h"

#include "tools/RegisterSupportTools.h"
#include "transfer/RegisterTransferWindows.h"

void RegisterAreaWindows() {
    RegisterTransferWindows();
    RegisterSupportWindows();
}
