// The module's built-in page templates, string resources 110 and 112. They are written for the
// platform's printf-style formatting: "%s%s%s" takes the message and "%%" is a percent sign.
#pragma once

#include <windows.h>

#define IDS_TEMPLATE_BUBBLE 110
#define IDS_TEMPLATE_PICTURE 112

#define PAGE_TEMPLATE_110                                                                     \
  "<html><body><table  border=\"0\" cellpadding=\"5\" cellspacing=\"0\" width=\"100%%\"><tr>" \
  "<td width=\"100%%\" align=\"%alignment%\" style=\"height: 29px; font-size: 8pt; "          \
  "font-family: %DefFontName%; text-align: %textalignment%;\"><p>%s%s%s</p></td></tr>"        \
  "</table></body></html>"

#define PAGE_TEMPLATE_112                                                                     \
  "<html><body><table border=\"0\" cellpadding=\"5\" cellspacing=\"0\" width=\"100%%\"><tr>"  \
  "<td width= \"5%%\"><p align=\"center\"><img src=\"PictureID\" /></p></td>"                 \
  "<td width=\"95%%\" align=\"%alignment%\" style=\"height: 29px; font-size: 8pt; "           \
  "font-family: %DefFontName%; text-align: %textalignment%;\"><p>%s%s%s</p></td></tr>"        \
  "</table></body></html>"
