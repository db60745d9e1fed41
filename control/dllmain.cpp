// tqMenuCtl.ocx: the exports of the COM server and its self-registration.
//
//   regsvr32 tqMenuCtl.ocx              machine-wide (HKEY_CLASSES_ROOT)
//   regsvr32 /n /i:user tqMenuCtl.ocx   for the current user only (HKCU\Software\Classes)
//
// tqMenu is registered as a control (the "Control" key, MiscStatus, ToolboxBitmap32) with its
// ProgID "tqMenuCtl.tqMenu" and the type library.  Unregistering removes every key written here.
#include <windows.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "control_window.h"
#include "mdl_menu.h"
#include "resource.h"
#include "tq_menu.h"
#include "tq/designer/win/menu_property.h"
#include "tq/com/class_factory.h"
#include "tq/com/module.h"
#include "tq/com/registry.h"
#include "tq/version.h"

namespace {

using tq::com::GuidString;
using tq::com::Registrar;
using tq::com::RegScope;
using tq::com::RegValue;

constexpr wchar_t kProgId[] = L"tqMenuCtl.tqMenu";
constexpr wchar_t kClassName[] = L"tqMenu";
constexpr wchar_t kVersion[] = TQ_TYPELIB_VERSION_W;
// CATID_Control: the class is an ActiveX control.
constexpr wchar_t kCatidControl[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";

const tq::com::ClassEntry kClasses[] = {
    {&CLSID_tqMenu, &tq::ctl::TqMenu::Create},
    {&CLSID_tqMenuProperty, &tq::designer::CreateMenuPropertyPage},
};

std::vector<RegValue> ControlKeys(const std::wstring& path) {
    const std::wstring clsid = L"CLSID\\" + GuidString(CLSID_tqMenu);
    return {
        {clsid, L"", kClassName},
        {clsid + L"\\InprocServer32", L"", path},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", L"", kProgId},
        {clsid + L"\\VersionIndependentProgID", L"", kProgId},
        {clsid + L"\\Control", L"", L""},
        {clsid + L"\\Programmable", L"", L""},
        {clsid + L"\\MiscStatus", L"", L"0"},
        {clsid + L"\\MiscStatus\\1", L"", std::to_wstring(tq::ctl::kMiscStatus)},
        {clsid + L"\\ToolboxBitmap32", L"", path + L", " + std::to_wstring(IDB_TOOLBOX)},
        {clsid + L"\\TypeLib", L"", GuidString(LIBID_tqMenuCtl)},
        {clsid + L"\\Version", L"", kVersion},
        {clsid + L"\\Implemented Categories\\" + kCatidControl, L"", L""},
        {kProgId, L"", kClassName},
        {std::wstring(kProgId) + L"\\CLSID", L"", GuidString(CLSID_tqMenu)},
    };
}

// The property page tqMenuProperty, the page tqMenu names in ISpecifyPropertyPages.
std::vector<RegValue> PropertyPageKeys(const std::wstring& path) {
    return tq::designer::MenuPropertyRegistryValues(path);
}

// The page's "Gera Script" button scripts gctlMenu, the tqMenu shown last on this thread.
IDispatch* ShownControlForScript() {
    tq::ctl::CommandReceiver* control = tq::ctl::ShownControl();
    if (!control) return nullptr;
    IDispatch* d = control->Automation();
    d->AddRef();
    return d;
}

HRESULT Unregister(RegScope scope) {
    const Registrar reg(scope);
    HRESULT result = S_OK;
    auto keep_first = [&](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    };
    keep_first(reg.DeleteTree(L"CLSID\\" + GuidString(CLSID_tqMenu)));
    keep_first(reg.DeleteTree(kProgId));
    for (const RegValue& v : PropertyPageKeys(tq::com::Module::Path()))
        keep_first(reg.DeleteTree(v.key));
    keep_first(reg.UnregisterTypeLib(tq::com::Module::Path()));
    return result;
}

HRESULT Register(RegScope scope) {
    const std::wstring path = tq::com::Module::Path();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    const Registrar reg(scope);
    HRESULT hr = reg.SetAll(ControlKeys(path));
    if (SUCCEEDED(hr)) hr = reg.SetAll(PropertyPageKeys(path));
    if (SUCCEEDED(hr)) hr = reg.RegisterTypeLib(path);
    if (FAILED(hr)) {
        Unregister(scope);  // nothing half-registered stays behind
        return hr == E_ACCESSDENIED || hr == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)
                   ? SELFREG_E_CLASS
                   : hr;
    }
    return S_OK;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        tq::com::Module::SetInstance(instance);
        tq::designer::SetScriptControlSource(&ShownControlForScript);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Unloaded by FreeLibrary (not process exit): give back what the module holds.
        tq::ctl::ControlWindow::UnregisterClass();
        tq::com::Module::ReleaseCaches();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return tq::com::GetClassObject(kClasses, clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
    return tq::com::Module::CanUnloadNow();
}

STDAPI DllRegisterServer() {
    return Register(RegScope::Machine);
}

STDAPI DllUnregisterServer() {
    return Unregister(RegScope::Machine);
}

STDAPI DllInstall(BOOL install, LPCWSTR cmdline) {
    const RegScope scope = tq::com::ScopeFromCommandLine(cmdline);
    return install ? Register(scope) : Unregister(scope);
}

}  // extern "C"
