// AYGShell notification calls: argument checks over the device's NotificationManager.
#include "kernel/device.h"
#include "shell/notification_manager.h"

#include <aygshell.h>

using pellix::device::Device;
using pellix::device::shell::NotificationManager;

namespace {

NotificationManager& Manager() { return Device::Get().Component<NotificationManager>(); }

}  // namespace

LRESULT SHNotificationAdd(SHNOTIFICATIONDATA* pndAdd) {
  if (!pndAdd) return ERROR_INVALID_PARAMETER;
  return Manager().Add(*pndAdd);
}

LRESULT SHNotificationUpdate(DWORD grnumUpdateMask, SHNOTIFICATIONDATA* pndNew) {
  if (!pndNew) return ERROR_INVALID_PARAMETER;
  return Manager().Update(grnumUpdateMask, *pndNew);
}

LRESULT SHNotificationRemove(const CLSID* pclsid, DWORD dwID) {
  if (!pclsid) return ERROR_INVALID_PARAMETER;
  return Manager().Remove({*pclsid, dwID});
}

LRESULT SHNotificationGetData(const CLSID* pclsid, DWORD dwID, SHNOTIFICATIONDATA* pndBuffer) {
  if (!pclsid || !pndBuffer) return ERROR_INVALID_PARAMETER;
  // The strings handed out point into the manager's own copy, kept per thread until the next call.
  thread_local pellix::device::shell::Notification copy;
  auto found = Manager().Find({*pclsid, dwID});
  if (!found) return ERROR_NOT_FOUND;
  copy = std::move(*found);
  SHNOTIFICATIONDATA out{};
  out.cbStruct = SHNOTIFICATIONDATA_CBSTRUCT;
  out.dwID = copy.key.id;
  out.npPriority = copy.priority;
  out.csDuration = copy.duration_seconds;
  out.hicon = copy.icon;
  out.grfFlags = copy.flags;
  out.clsid = copy.key.clsid;
  out.hwndSink = copy.sink;
  out.pszHTML = copy.html.c_str();
  out.pszTitle = copy.title.c_str();
  out.lParam = copy.lparam;
  *pndBuffer = out;
  return ERROR_SUCCESS;
}
