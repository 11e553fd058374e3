#include "Win32AccessibleName.h"

#include <commctrl.h>
#include <initguid.h>
#include <oleacc.h>

#include <string_view>

#include "Win32Text.h"

namespace halvarin {

namespace {

// The annotation service; nullptr where the system has none. Released by
// the caller.
IAccPropServices* Annotations() {
  IAccPropServices* services = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&services)))) {
    return nullptr;
  }
  return services;
}

bool ShowsItsText(HWND control) {
  wchar_t name[64] = {};
  ::GetClassNameW(control, name, 64);
  return std::wstring_view(name) == STATUSCLASSNAMEW;
}

}  // namespace

void SetAccessibleName(HWND control, const std::string& name) {
  const std::wstring text = WideText(name);
  if (!ShowsItsText(control)) {
    ::SetWindowTextW(control, text.c_str());
  }
  if (IAccPropServices* services = Annotations()) {
    services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                             PROPID_ACC_NAME, text.c_str());
    services->Release();
  }
}

void ClearAccessibleName(HWND control) {
  if (IAccPropServices* services = Annotations()) {
    MSAAPROPID name = PROPID_ACC_NAME;
    services->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &name, 1);
    services->Release();
  }
}

}  // namespace halvarin
