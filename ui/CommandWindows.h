#pragma once
#include <functional>

class Composer;
class QWidget;

// The main window's commands open the windows of the areas built apart from it (content dialogs,
// message-file tools, network tools, support request, update check) through this table, keyed by the
// command id, so the main window need not link those areas. Each area registers its windows once at
// start-up; the opener shows its window modally over the parent, hands it what it needs of the
// main window's message (composer), does whatever the command does after the window closes, and
// returns. A command with no registered window is shown disabled.
namespace CommandWindows {

using Opener = std::function<void(QWidget* parent, Composer& composer)>;

void Register(int commandId, Opener opener);
bool IsRegistered(int commandId);
// Runs the command's opener; false when none is registered.
bool Open(int commandId, QWidget* parent, Composer& composer);

} // namespace CommandWindows
