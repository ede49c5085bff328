#include "tools/RegisterMessageFileTools.h"

#include "tools/MessageFileForms.h"
#include "ui/CommandWindows.h"
#include "ui/ModalDialog.h"

void RegisterMessageFileWindows() {
    CommandWindows::Register(1074, ShowModalDialog<ExtraForm1>);
    CommandWindows::Register(1075, ShowModalDialog<ExtraForm2>);
    CommandWindows::Register(1076, ShowModalDialog<ExtraForm3>);
    CommandWindows::Register(1077, ShowModalDialog<ExtraForm4>);
}
