#include "tools/forms/RegisterMessageFileTools.h"

#include "tools/forms/MessageFileForms.h"
#include "ui/CommandWindows.h"
#include "ui/ModalDialog.h"

namespace {

// Import puts a message into the main window's message; export writes that message to a file.
template <typename Form>
void ShowWithComposer(QWidget* parent, Composer& composer) {
    Form form(composer, parent);
    form.exec();
}

} // namespace

void RegisterMessageFileWindows() {
    CommandWindows::Register(1074, [](QWidget* parent, Composer&) { ShowModalDialog<ExtraForm1>(parent); });
    CommandWindows::Register(1075, ShowWithComposer<ExtraForm2>);
    CommandWindows::Register(1076, ShowWithComposer<ExtraForm3>);
    CommandWindows::Register(1077, [](QWidget* parent, Composer&) { ShowModalDialog<ExtraForm4>(parent); });
}
