#pragma once
// Lets the main window's network tools command (1128) open the network tools window. Called once at
// start-up.
void RegisterNetworkToolsWindow();
