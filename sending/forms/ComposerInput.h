#pragma once
// The message of the main window as the input of a send run, a preview or an export.
#include "sending/SendRun.h"

class Composer;

// The composer's fields when a run starts; the body is taken from its editor when the run asks for it
// (a copy in the temporary "Preview.htm"; the document's own file is never written).
SendRunInput SendRunInputFrom(const Composer& composer);
