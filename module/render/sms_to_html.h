// Turns the plain text of a message into the HTML page that the bubble and the read window show:
// report icon, smiley pictures, line breaks, escaping, linked numbers and addresses, and the
// page template of the chosen slot.
//
// Threads: keeps no state of its own; reads the settings record, the smiley table and the
// templates, so it may run on the Inbox's thread and the forms' thread at once.
#pragma once

#include <windows.h>

// Report kinds, as ProcessMessage classifies a message.
#define SMS_REPORT_NONE 0
#define SMS_REPORT_DELIVERED 1
#define SMS_REPORT_FAILED 2

// The steps before escaping work in a buffer of this many characters, terminator included, and
// cut the text to fit after each step.
#define SMS_WORK_BUFFER_CCH 2048

// Markup added before escaping is written with these two characters in place of "<" and ">", so
// that the escaping step can tell it from the sender's own brackets.
#define SMS_TAG_OPEN ((WCHAR)0xFFFE)
#define SMS_TAG_CLOSE ((WCHAR)0xFFFF)

// Builds the page for `body` into *html (a heap string; free() it) using template `slot`
// (TEMPLATE_SLOT_*). Returns TRUE when the page carries pictures: slot 1 was asked for, a report
// icon was added or a smiley was replaced. *html is null only when memory ran out.
BOOL CreateHTMLFromSMSBody(LPCWSTR body, LPWSTR* html, UINT reportKind, UINT slot);

// The inner steps, in the order CreateHTMLFromSMSBody runs them. `buffer` is a work buffer of
// SMS_WORK_BUFFER_CCH characters holding a terminated text.
BOOL ContainsSmiley(LPCWSTR text);
void ApplySmileys(WCHAR* buffer);
void ConvertLineBreaks(WCHAR* buffer);
// Escapes `text`, links numbers and addresses and fills the template of `slot`. Returns a heap
// page (free() it), or null when memory ran out.
LPWSTR BuildHtmlFromText(LPCWSTR text, UINT slot);
