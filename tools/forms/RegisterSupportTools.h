#pragma once
// Lets the main window's Extras and Help menus open the SMTP server probe (command 1078), the
// technical-support request (1083) and the update check (1084). Called once at start-up.
void RegisterSupportWindows();
