#pragma once
#include <QString>

// Ten characters alternating a capital letter and a digit 1-9 ("A1B2C3D4E5"): the random start of the
// MIME boundary marks of one message or send run.
QString MakeBoundaryPrefix();
