#include "app/AreaWindows.h"

#include "transfer/RegisterTransferWindows.h"

void RegisterAreaWindows() {
    RegisterTransferWindows();
}
