// Telephone numbers to people, through the platform's contact store: the contact's name and
// picture for a number, tried as given and then in national forms of an international number.
//
// Threads: any; nothing here keeps state.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <atomic>

// Set while SaveNumberToContacts shows a new contact to the person, so that the bubble does not
// close over the contact card.
extern std::atomic<BOOL> ContactCardOpen;

// Finds the contact whose telephone number matches `number`. `name` (optional) receives a BSTR the
// caller frees: the contact's name, or the number itself when nobody matches. `picture` (optional)
// receives the contact's picture fitted into the *width by *height box, and the box is replaced by
// the bitmap's size; both are written only when the result is S_OK.
HRESULT LookupContact(LPCWSTR number, BSTR* name, HBITMAP* picture, LONG* width, LONG* height);

// Makes a new contact for `number` and shows it to the person, who saves or discards it.
void SaveNumberToContacts(LPCWSTR number);

// Fits a w by h picture into a box of W by H keeping its proportions.
void FitPictureInBox(LONG boxWidth, LONG boxHeight, LONG width, LONG height, LONG* fittedWidth,
                     LONG* fittedHeight);
