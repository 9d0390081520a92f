// Identifiers of the module's resources and of the commands its menus send. Shared by the
// resource script (PellixRule.rc) and the module's code.
#pragma once

// Soft-key menus of the bubble: a left soft key and a right soft key "Menu" with a pop-up.
#define IDR_MENU_MARKREAD 107   // left soft key "Mark read"
#define IDR_MENU_REPORT 108     // delivery reports: left soft key "Delete"
#define IDR_MENU_DISMISS 109    // left soft key "Dismiss"; kept for skins, loaded by no code
#define IDR_MENU_REPLY 118      // left soft key "Reply"
// Menus whose first pop-up is tracked at a tap.
#define IDR_MENU_NUMBER 116     // on a telephone number or other plain link
#define IDR_MENU_CONTEXT 120    // the read window's context menu

// Built-in page templates.
#define IDS_TEMPLATE_BUBBLE 110     // the bubble and the read form
#define IDS_TEMPLATE_PICTURE 112    // the bubble with the sender's picture

#define IDI_NOTIFY 114          // notification icon
#define IDB_SMILEY_BUTTON 121   // compose window's smiley button, 24 x 23
// Message-list glyphs by screen resolution.
#define IDB_GLYPH_LOW 124       // below 128 dots per inch
#define IDB_GLYPH_128 125       // 128 to 131
#define IDB_GLYPH_132 126       // 132 to 191
#define IDB_GLYPH_HIGH 127      // 192 and above

// Commands.
#define IDM_REPLY 40001
#define IDM_CALL_SENDER 40002
#define IDM_MARK_READ 40003
#define IDM_DELETE 40004
#define IDM_DISMISS 40005
#define IDM_FORWARD 40007
#define IDM_CALL 40012
#define IDM_SAVE_TO_CONTACTS 40013
#define IDM_SEND_SMS 40014
#define IDM_SELECT_ALL 40015
#define IDM_COPY 40016
