// Message store definitions: property values, tables, entry identifiers and the interfaces
// of sessions, stores, folders, messages and tables, with their operations in slot order.
#pragma once

#include "mapicode.h"
#include "mapitags.h"
#include "objidl.h"

#define MAPI_DIM 1

typedef ULONG FLAGS;
typedef ULONG_PTR BOOKMARK;
typedef LONG SCODE;

// Flags shared by many operations.
#define MAPI_UNICODE ((ULONG)0x80000000)
#define MAPI_MODIFY ((ULONG)0x00000001)
#define MAPI_ACCESS_MODIFY ((ULONG)0x00000001)
#define MAPI_DEFERRED_ERRORS ((ULONG)0x00000008)
#define MAPI_BEST_ACCESS ((ULONG)0x00000010)
#define MAPI_NEW_SESSION ((ULONG)0x00000002)
#define MAPI_EXTENDED ((ULONG)0x00000020)
#define MAPI_LOGON_UI ((ULONG)0x00000001)
#define MAPI_NO_MAIL ((ULONG)0x00008000)
#define MAPI_DIALOG ((ULONG)0x00000008)

// Object types (PR_OBJECT_TYPE and OpenEntry).
#define MAPI_STORE ((ULONG)0x00000001)
#define MAPI_ADDRBOOK ((ULONG)0x00000002)
#define MAPI_FOLDER ((ULONG)0x00000003)
#define MAPI_ABCONT ((ULONG)0x00000004)
#define MAPI_MESSAGE ((ULONG)0x00000005)
#define MAPI_MAILUSER ((ULONG)0x00000006)
#define MAPI_ATTACH ((ULONG)0x00000007)
#define MAPI_DISTLIST ((ULONG)0x00000008)
#define MAPI_PROFSECT ((ULONG)0x00000009)
#define MAPI_STATUS ((ULONG)0x0000000A)
#define MAPI_SESSION ((ULONG)0x0000000B)

// SaveChanges.
#define KEEP_OPEN_READONLY ((ULONG)0x00000001)
#define KEEP_OPEN_READWRITE ((ULONG)0x00000002)
#define FORCE_SAVE ((ULONG)0x00000004)

// CopyMessages and CopyFolder.
#define MESSAGE_MOVE ((ULONG)0x00000001)
#define MESSAGE_DIALOG ((ULONG)0x00000002)
#define FOLDER_MOVE ((ULONG)0x00000001)

// OpenMsgStore.
#define MDB_NO_DIALOG ((ULONG)0x00000001)
#define MDB_WRITE ((ULONG)0x00000004)
#define MDB_TEMPORARY ((ULONG)0x00000020)
#define MDB_NO_MAIL ((ULONG)0x00000080)

// PR_MESSAGE_FLAGS.
#define MSGFLAG_READ ((ULONG)0x00000001)
#define MSGFLAG_UNMODIFIED ((ULONG)0x00000002)
#define MSGFLAG_SUBMIT ((ULONG)0x00000004)
#define MSGFLAG_UNSENT ((ULONG)0x00000008)
#define MSGFLAG_HASATTACH ((ULONG)0x00000010)
#define MSGFLAG_FROMME ((ULONG)0x00000020)

// SetReadFlag(s).
#define SUPPRESS_RECEIPT ((ULONG)0x00000001)
#define CLEAR_READ_FLAG ((ULONG)0x00000004)
#define GENERATE_RECEIPT_ONLY ((ULONG)0x00000010)

// Recipient types (PR_RECIPIENT_TYPE) and ModifyRecipients.
#define MAPI_ORIG 0
#define MAPI_TO 1
#define MAPI_CC 2
#define MAPI_BCC 3
#define MODRECIP_ADD ((ULONG)0x00000002)
#define MODRECIP_MODIFY ((ULONG)0x00000004)
#define MODRECIP_REMOVE ((ULONG)0x00000008)

// Folder types.
#define FOLDER_ROOT ((ULONG)0x00000000)
#define FOLDER_GENERIC ((ULONG)0x00000001)
#define FOLDER_SEARCH ((ULONG)0x00000002)

// Tables.
#define BOOKMARK_BEGINNING ((BOOKMARK)0)
#define BOOKMARK_CURRENT ((BOOKMARK)1)
#define BOOKMARK_END ((BOOKMARK)2)
#define TBL_NOADVANCE ((ULONG)0x00000001)
#define TBL_ASYNC ((ULONG)0x00000001)
#define TBL_BATCH ((ULONG)0x00000002)
#define TBLSTAT_COMPLETE ((ULONG)0)
#define TBLTYPE_SNAPSHOT ((ULONG)0)
#define TBLTYPE_KEYSET ((ULONG)1)
#define TBLTYPE_DYNAMIC ((ULONG)2)

// Notification event types.
#define fnevCriticalError ((ULONG)0x00000001)
#define fnevNewMail ((ULONG)0x00000002)
#define fnevObjectCreated ((ULONG)0x00000004)
#define fnevObjectDeleted ((ULONG)0x00000008)
#define fnevObjectModified ((ULONG)0x00000010)
#define fnevObjectMoved ((ULONG)0x00000020)
#define fnevObjectCopied ((ULONG)0x00000040)
#define fnevSearchComplete ((ULONG)0x00000080)
#define fnevTableModified ((ULONG)0x00000100)

typedef struct _ENTRYID {
  BYTE abFlags[4];
  BYTE ab[MAPI_DIM];
} ENTRYID, *LPENTRYID;
#define CbNewENTRYID(cb) (offsetof(ENTRYID, ab) + (cb))

typedef struct _MAPIUID {
  BYTE ab[16];
} MAPIUID, *LPMAPIUID;

typedef struct _SBinary {
  ULONG cb;
  LPBYTE lpb;
} SBinary, *LPSBinary;

typedef struct _SBinaryArray {
  ULONG cValues;
  SBinary* lpbin;
} SBinaryArray, ENTRYLIST, *LPENTRYLIST;

typedef struct _SShortArray { ULONG cValues; SHORT* lpi; } SShortArray;
typedef struct _SLongArray { ULONG cValues; LONG* lpl; } SLongArray;
typedef struct _SLPSTRArray { ULONG cValues; LPSTR* lppszA; } SLPSTRArray;
typedef struct _SWStringArray { ULONG cValues; LPWSTR* lppszW; } SWStringArray;
typedef struct _SGuidArray { ULONG cValues; GUID* lpguid; } SGuidArray;
typedef struct _SDateTimeArray { ULONG cValues; FILETIME* lpft; } SDateTimeArray;
typedef struct _SLargeIntegerArray { ULONG cValues; LARGE_INTEGER* lpli; } SLargeIntegerArray;

typedef union _CY {
  struct {
    ULONG Lo;
    LONG Hi;
  } s;
  LONGLONG int64;
} CY, CURRENCY;

typedef union _PV {
  SHORT i;
  LONG l;
  ULONG ul;
  FLOAT flt;
  double dbl;
  USHORT b;
  CURRENCY cur;
  double at;
  FILETIME ft;
  LPSTR lpszA;
  SBinary bin;
  LPWSTR lpszW;
  LPGUID lpguid;
  LARGE_INTEGER li;
  SShortArray MVi;
  SLongArray MVl;
  SLPSTRArray MVszA;
  SWStringArray MVszW;
  SBinaryArray MVbin;
  SGuidArray MVguid;
  SDateTimeArray MVft;
  SLargeIntegerArray MVli;
  SCODE err;
  LONG x;
} __UPV;

typedef struct _SPropValue {
  ULONG ulPropTag;
  ULONG dwAlignPad;
  union _PV Value;
} SPropValue, *LPSPropValue;

typedef struct _SPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[MAPI_DIM];
} SPropTagArray, *LPSPropTagArray;
#define CbNewSPropTagArray(c) (offsetof(SPropTagArray, aulPropTag) + (c) * sizeof(ULONG))
#define CbSPropTagArray(p) CbNewSPropTagArray((p)->cValues)
#define SizedSPropTagArray(n, name) \
  struct _SPropTagArray_##name {    \
    ULONG cValues;                  \
    ULONG aulPropTag[n];            \
  } name

typedef struct _SPropProblem {
  ULONG ulIndex;
  ULONG ulPropTag;
  SCODE scode;
} SPropProblem, *LPSPropProblem;

typedef struct _SPropProblemArray {
  ULONG cProblem;
  SPropProblem aProblem[MAPI_DIM];
} SPropProblemArray, *LPSPropProblemArray;

typedef struct _SRow {
  ULONG ulAdrEntryPad;
  ULONG cValues;
  LPSPropValue lpProps;
} SRow, *LPSRow;

typedef struct _SRowSet {
  ULONG cRows;
  SRow aRow[MAPI_DIM];
} SRowSet, *LPSRowSet;
#define CbNewSRowSet(c) (offsetof(SRowSet, aRow) + (c) * sizeof(SRow))

typedef struct _ADRENTRY {
  ULONG ulReserved1;
  ULONG cValues;
  LPSPropValue rgPropVals;
} ADRENTRY, *LPADRENTRY;

typedef struct _ADRLIST {
  ULONG cEntries;
  ADRENTRY aEntries[MAPI_DIM];
} ADRLIST, *LPADRLIST;
#define CbNewADRLIST(c) (offsetof(ADRLIST, aEntries) + (c) * sizeof(ADRENTRY))

typedef struct _MAPIERROR {
  ULONG ulVersion;
  LPWSTR lpszError;
  LPWSTR lpszComponent;
  ULONG ulLowLevelError;
  ULONG ulContext;
} MAPIERROR, *LPMAPIERROR;

typedef struct _SSortOrder {
  ULONG ulPropTag;
  ULONG ulOrder;
} SSortOrder;
typedef struct _SSortOrderSet {
  ULONG cSorts;
  ULONG cCategories;
  ULONG cExpanded;
  SSortOrder aSort[MAPI_DIM];
} SSortOrderSet, *LPSSortOrderSet;

typedef struct _MAPINAMEID {
  LPGUID lpguid;
  ULONG ulKind;
  union {
    LONG lID;
    LPWSTR lpwstrName;
  } Kind;
} MAPINAMEID, *LPMAPINAMEID;

// Operations the device does not offer take these as opaque pointers.
struct _SRestriction;
typedef struct _SRestriction* LPSRestriction;
struct _NOTIFICATION;
typedef struct _NOTIFICATION* LPNOTIFICATION;
struct IMAPIAdviseSink;
typedef IMAPIAdviseSink* LPMAPIADVISESINK;
struct IMAPIProgress;
typedef IMAPIProgress* LPMAPIPROGRESS;
struct IAddrBook;
typedef IAddrBook* LPADRBOOK;
struct IProfSect;
typedef IProfSect* LPPROFSECT;
struct IProviderAdmin;
typedef IProviderAdmin* LPSERVICEADMIN;
struct IAttach;
typedef IAttach* LPATTACH;
typedef const IID* LPCIID;

DEFINE_GUID(IID_IMAPISession, 0x00020300, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IMAPITable, 0x00020301, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IMAPIProp, 0x00020303, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IMsgStore, 0x00020306, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IMessage, 0x00020307, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IMAPIContainer, 0x0002030B, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IMAPIFolder, 0x0002030C, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

struct IMAPITable;
struct IMessage;
struct IMAPIFolder;
struct IMsgStore;
typedef IMAPITable* LPMAPITABLE;
typedef IMessage* LPMESSAGE;
typedef IMAPIFolder* LPMAPIFOLDER;
typedef IMsgStore* LPMDB;

struct IMAPIProp : public IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(SaveChanges)(ULONG ulFlags) PURE;
  STDMETHOD(GetProps)(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
                      LPSPropValue* lppPropArray) PURE;
  STDMETHOD(GetPropList)(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) PURE;
  STDMETHOD(OpenProperty)(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                          LPUNKNOWN* lppUnk) PURE;
  STDMETHOD(SetProps)(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) PURE;
  STDMETHOD(DeleteProps)(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) PURE;
  STDMETHOD(CopyTo)(ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps,
                    ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, LPCIID lpInterface,
                    LPVOID lpDestObj, ULONG ulFlags, LPSPropProblemArray* lppProblems) PURE;
  STDMETHOD(CopyProps)(LPSPropTagArray lpIncludeProps, ULONG_PTR ulUIParam,
                       LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj,
                       ULONG ulFlags, LPSPropProblemArray* lppProblems) PURE;
  STDMETHOD(GetNamesFromIDs)(LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags,
                             ULONG* lpcPropNames, LPMAPINAMEID** lpppPropNames) PURE;
  STDMETHOD(GetIDsFromNames)(ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags,
                             LPSPropTagArray* lppPropTags) PURE;

 protected:
  ~IMAPIProp() = default;
};
typedef IMAPIProp* LPMAPIPROP;

struct IMAPIContainer : public IMAPIProp {
  STDMETHOD(GetContentsTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(GetHierarchyTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(OpenEntry)(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                       ULONG* lpulObjType, LPUNKNOWN* lppUnk) PURE;
  STDMETHOD(SetSearchCriteria)(LPSRestriction lpRestriction, LPENTRYLIST lpContainerList,
                               ULONG ulSearchFlags) PURE;
  STDMETHOD(GetSearchCriteria)(ULONG ulFlags, LPSRestriction* lppRestriction,
                               LPENTRYLIST* lppContainerList, ULONG* lpulSearchState) PURE;

 protected:
  ~IMAPIContainer() = default;
};
typedef IMAPIContainer* LPMAPICONTAINER;

struct IMAPIFolder : public IMAPIContainer {
  STDMETHOD(CreateMessage)(LPCIID lpInterface, ULONG ulFlags, LPMESSAGE* lppMessage) PURE;
  STDMETHOD(CopyMessages)(LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder,
                          ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;
  STDMETHOD(DeleteMessages)(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                            ULONG ulFlags) PURE;
  STDMETHOD(CreateFolder)(ULONG ulFolderType, LPWSTR lpszFolderName, LPWSTR lpszFolderComment,
                          LPCIID lpInterface, ULONG ulFlags, LPMAPIFOLDER* lppFolder) PURE;
  STDMETHOD(CopyFolder)(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                        LPVOID lpDestFolder, LPWSTR lpszNewFolderName, ULONG_PTR ulUIParam,
                        LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;
  STDMETHOD(DeleteFolder)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG_PTR ulUIParam,
                          LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;
  STDMETHOD(SetReadFlags)(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                          ULONG ulFlags) PURE;
  STDMETHOD(GetMessageStatus)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags,
                              ULONG* lpulMessageStatus) PURE;
  STDMETHOD(SetMessageStatus)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulNewStatus,
                              ULONG ulNewStatusMask, ULONG* lpulOldStatus) PURE;
  STDMETHOD(SaveContentsSort)(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) PURE;
  STDMETHOD(EmptyFolder)(ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;

 protected:
  ~IMAPIFolder() = default;
};

struct IMessage : public IMAPIProp {
  STDMETHOD(GetAttachmentTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(OpenAttach)(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags,
                        LPATTACH* lppAttach) PURE;
  STDMETHOD(CreateAttach)(LPCIID lpInterface, ULONG ulFlags, ULONG* lpulAttachmentNum,
                          LPATTACH* lppAttach) PURE;
  STDMETHOD(DeleteAttach)(ULONG ulAttachmentNum, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                          ULONG ulFlags) PURE;
  STDMETHOD(GetRecipientTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(ModifyRecipients)(ULONG ulFlags, LPADRLIST lpMods) PURE;
  STDMETHOD(SubmitMessage)(ULONG ulFlags) PURE;
  STDMETHOD(SetReadFlag)(ULONG ulFlags) PURE;

 protected:
  ~IMessage() = default;
};

struct IMsgStore : public IMAPIProp {
  STDMETHOD(Advise)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                    LPMAPIADVISESINK lpAdviseSink, ULONG* lpulConnection) PURE;
  STDMETHOD(Unadvise)(ULONG ulConnection) PURE;
  STDMETHOD(CompareEntryIDs)(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                             LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) PURE;
  STDMETHOD(OpenEntry)(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                       ULONG* lpulObjType, LPUNKNOWN* lppUnk) PURE;
  STDMETHOD(SetReceiveFolder)(LPWSTR lpszMessageClass, ULONG ulFlags, ULONG cbEntryID,
                              LPENTRYID lpEntryID) PURE;
  STDMETHOD(GetReceiveFolder)(LPWSTR lpszMessageClass, ULONG ulFlags, ULONG* lpcbEntryID,
                              LPENTRYID* lppEntryID, LPWSTR* lppszExplicitClass) PURE;
  STDMETHOD(GetReceiveFolderTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(StoreLogoff)(ULONG* lpulFlags) PURE;
  STDMETHOD(AbortSubmit)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags) PURE;
  STDMETHOD(GetOutgoingQueue)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(SetLockState)(LPMESSAGE lpMessage, ULONG ulLockState) PURE;
  STDMETHOD(FinishedMsg)(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) PURE;
  STDMETHOD(NotifyNewMail)(LPNOTIFICATION lpNotification) PURE;

 protected:
  ~IMsgStore() = default;
};

struct IMAPITable : public IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(Advise)(ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG* lpulConnection) PURE;
  STDMETHOD(Unadvise)(ULONG ulConnection) PURE;
  STDMETHOD(GetStatus)(ULONG* lpulTableStatus, ULONG* lpulTableType) PURE;
  STDMETHOD(SetColumns)(LPSPropTagArray lpPropTagArray, ULONG ulFlags) PURE;
  STDMETHOD(QueryColumns)(ULONG ulFlags, LPSPropTagArray* lpPropTagArray) PURE;
  STDMETHOD(GetRowCount)(ULONG ulFlags, ULONG* lpulCount) PURE;
  STDMETHOD(SeekRow)(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) PURE;
  STDMETHOD(SeekRowApprox)(ULONG ulNumerator, ULONG ulDenominator) PURE;
  STDMETHOD(QueryPosition)(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator) PURE;
  STDMETHOD(FindRow)(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags) PURE;
  STDMETHOD(Restrict)(LPSRestriction lpRestriction, ULONG ulFlags) PURE;
  STDMETHOD(CreateBookmark)(BOOKMARK* lpbkPosition) PURE;
  STDMETHOD(FreeBookmark)(BOOKMARK bkPosition) PURE;
  STDMETHOD(SortTable)(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) PURE;
  STDMETHOD(QuerySortOrder)(LPSSortOrderSet* lppSortCriteria) PURE;
  STDMETHOD(QueryRows)(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) PURE;
  STDMETHOD(Abort)() PURE;
  STDMETHOD(ExpandRow)(ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulRowCount, ULONG ulFlags,
                       LPSRowSet* lppRows, ULONG* lpulMoreRows) PURE;
  STDMETHOD(CollapseRow)(ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulFlags,
                         ULONG* lpulRowCount) PURE;
  STDMETHOD(WaitForCompletion)(ULONG ulFlags, ULONG ulTimeout, ULONG* lpulTableStatus) PURE;
  STDMETHOD(GetCollapseState)(ULONG ulFlags, ULONG cbInstanceKey, LPBYTE lpbInstanceKey,
                              ULONG* lpcbCollapseState, LPBYTE* lppbCollapseState) PURE;
  STDMETHOD(SetCollapseState)(ULONG ulFlags, ULONG cbCollapseState, LPBYTE pbCollapseState,
                              BOOKMARK* lpbkLocation) PURE;

 protected:
  ~IMAPITable() = default;
};

struct IMAPISession : public IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(GetMsgStoresTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(OpenMsgStore)(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID,
                          LPCIID lpInterface, ULONG ulFlags, LPMDB* lppMDB) PURE;
  STDMETHOD(OpenAddressBook)(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags,
                             LPADRBOOK* lppAdrBook) PURE;
  STDMETHOD(OpenProfileSection)(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags,
                                LPPROFSECT* lppProfSect) PURE;
  STDMETHOD(GetStatusTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(OpenEntry)(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                       ULONG* lpulObjType, LPUNKNOWN* lppUnk) PURE;
  STDMETHOD(CompareEntryIDs)(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2,
                             LPENTRYID lpEntryID2, ULONG ulFlags, ULONG* lpulResult) PURE;
  STDMETHOD(Advise)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask,
                    LPMAPIADVISESINK lpAdviseSink, ULONG* lpulConnection) PURE;
  STDMETHOD(Unadvise)(ULONG ulConnection) PURE;
  STDMETHOD(MessageOptions)(ULONG_PTR ulUIParam, ULONG ulFlags, LPWSTR lpszAdrType,
                            LPMESSAGE lpMessage) PURE;
  STDMETHOD(QueryDefaultMessageOpt)(LPWSTR lpszAdrType, ULONG ulFlags, ULONG* lpcValues,
                                    LPSPropValue* lppOptions) PURE;
  STDMETHOD(EnumAdrTypes)(ULONG ulFlags, ULONG* lpcAdrTypes, LPWSTR** lpppszAdrTypes) PURE;
  STDMETHOD(QueryIdentity)(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) PURE;
  STDMETHOD(Logoff)(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) PURE;
  STDMETHOD(SetDefaultStore)(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) PURE;
  STDMETHOD(AdminServices)(ULONG ulFlags, LPSERVICEADMIN* lppServiceAdmin) PURE;
  STDMETHOD(ShowForm)(ULONG_PTR ulUIParam, LPMDB lpMsgStore, LPMAPIFOLDER lpParentFolder,
                      LPCIID lpInterface, ULONG ulMessageToken, LPMESSAGE lpMessageSent,
                      ULONG ulFlags, ULONG ulMessageStatus, ULONG ulMessageFlags, ULONG ulAccess,
                      LPSTR lpszMessageClass) PURE;
  STDMETHOD(PrepareForm)(LPCIID lpInterface, LPMESSAGE lpMessage, ULONG* lpulMessageToken) PURE;

 protected:
  ~IMAPISession() = default;
};
typedef IMAPISession* LPMAPISESSION;
