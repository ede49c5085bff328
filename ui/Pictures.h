#pragma once
#include <QPixmap>

// The program's picture (an envelope on the program's blue), drawn at any size so the splash, the tip
// and the about box share it.
QPixmap VelantoPicture(int size);

// The tip window's second picture: a light bulb.
QPixmap TipPicture(int size);
