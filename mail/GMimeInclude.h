#pragma once
// GMime (through GLib) uses "signals" as a member name, which Qt defines as a keyword macro.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")
