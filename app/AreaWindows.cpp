#include "app/AreaWindows.h"

#include "tools/RegisterMessageFileTools.h"
#include "transfer/RegisterTransferWindows.h"

void RegisterAreaWindows() {
    RegisterTransferWindows();
    RegisterMessageFileWindows();
}
