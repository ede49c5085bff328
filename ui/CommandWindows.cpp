#include "ui/CommandWindows.h"

#include <map>

namespace CommandWindows {

namespace {

std::map<int, Opener>& Table() {
    static std::map<int, Opener> table;
    return table;
}

} // namespace

void Register(int commandId, Opener opener) {
    Table()[commandId] = std::move(opener);
}

bool IsRegistered(int commandId) {
    const auto it = Table().find(commandId);
    return it != Table().end() && it->second;
}

bool Open(int commandId, QWidget* parent, Composer& composer) {
    const auto it = Table().find(commandId);
    if (it == Table().end() || !it->second)
        return false;
    // A copy, so an opener that registers again while its window is up cannot pull itself away.
    const Opener opener = it->second;
    opener(parent, composer);
    return true;
}

} // namespace CommandWindows
