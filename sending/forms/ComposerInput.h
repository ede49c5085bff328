#pragma once
// The message of the main window as the input of a send run, a preview or an export.
#include "sending/SendRun.h"

class Composer;

// The composer's fields when a run starts; the body is taken from its editor when the run asks for it
// (the editor saves to the temporary "Preview.htm" when the document has no file of its own).
SendRunInput SendRunInputFrom(const Composer& composer);
