// Telephone numbers to people, through the platform's contact store: the contact's name and
// picture for a number, tried as given and then in national forms of an international number.
//
// Threads: any; nothing here keeps state.
#pragma once

#include <windows.h>

// Fits a w by h picture into a box of W by H keeping its proportions.
void FitPictureInBox(LONG boxWidth, LONG boxHeight, LONG width, LONG height, LONG* fittedWidth,
                     LONG* fittedHeight);
