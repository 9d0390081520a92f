#include "rule/contact_lookup.h"

void FitPictureInBox(LONG boxWidth, LONG boxHeight, LONG width, LONG height, LONG* fittedWidth,
                     LONG* fittedHeight) {
  // 64-bit products: a large picture times a large box must not overflow.
  long long candidate = height ? static_cast<long long>(width) * boxHeight / height : -1;
  if (candidate >= 0 && candidate <= boxWidth) {
    *fittedWidth = static_cast<LONG>(candidate);
    *fittedHeight = boxHeight;
  } else {
    *fittedWidth = boxWidth;
    *fittedHeight = width ? static_cast<LONG>(static_cast<long long>(height) * boxWidth / width) : 0;
  }
}
