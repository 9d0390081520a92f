// ProcessMessage: what the rule client does with each incoming SMS. It recognises delivery and
// non-delivery reports and puts the recipient's contact name into a report's stored text, finds
// the sender's picture, renders the text as HTML, moves the message into the module's own class,
// hands a notification to the bubble thread and tells the Inbox that the message was handled.
//
// Threads: runs on the Inbox's thread, one call at a time. It meets the bubble thread only
// through the notification list and the thread window's messages.
#pragma once

#include <windows.h>
#include <cemapi.h>

// Capacities, in wide characters with the terminator, of the working buffers. Longer texts are
// cut to fit (see ProcessMessage).
#define PM_NUMBER_CCH 2048       // the number cut out of a report text
#define PM_REPORT_TEXT_CCH 1024  // the rewritten report text
#define PM_TITLE_CCH 1024        // the bubble's title

// Written by registration; the module's class is given to messages only while it exists.
#define RAVLO_MSGTYPE_KEY TEXT("Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext\\Ravlo")

// Kind code of every notification record that ProcessMessage makes.
#define SMS_RECORD_KIND_CODE 121
// Record state of a report whose text was left as received.
#define SMS_RECORD_STATE_REPORT_UNCHANGED 4

// TRUE when the module's message type key (RAVLO_MSGTYPE_KEY) exists.
BOOL IsOwnMessageTypeRegistered();

// Processes the message `lpMsg` (cbMsg bytes) of `pMsgStore`, delivered to the folder
// `lpDestFolder`. On success *pHandled is MRC_HANDLED_CONTINUE, *pulEventType fnevObjectModified
// and the result S_OK. Otherwise *pHandled is MRC_NOT_HANDLED, *pulEventType is left alone, and
// the result is S_OK (switched off), the result of the read that failed, or the last result
// recorded before an exception.
HRESULT ProcessMessage(IMsgStore* pMsgStore, ULONG cbMsg, LPENTRYID lpMsg, ULONG cbDestFolder,
                       LPENTRYID lpDestFolder, ULONG* pulEventType, MRCHANDLED* pHandled);
