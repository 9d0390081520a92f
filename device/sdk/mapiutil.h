// Memory of the message store: every property array, row and identifier it hands out is
// one block from MAPIAllocateBuffer (with MAPIAllocateMore blocks chained to it), and the
// receiver frees it with one MAPIFreeBuffer.
#pragma once

#include "mapidefs.h"

SCODE MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer);
// Allocates a block that MAPIFreeBuffer of `lpObject` frees with it.
SCODE MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);
// Frees a block and everything chained to it. Null, and pointers that are not live blocks,
// are ignored (the result is then MAPI_E_INVALID_PARAMETER); nothing is touched.
ULONG MAPIFreeBuffer(LPVOID lpBuffer);
// Frees each row's property array, then the row set.
void FreeProws(LPSRowSet lpRows);
void FreePadrlist(LPADRLIST lpAdrList);
