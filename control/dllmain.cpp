// tqMenuCtl.ocx: the module's classes and the registry values its self-registration writes (the
// exports themselves are tq/com/server.h's).
//
//   regsvr32 tqMenuCtl.ocx              machine-wide (HKEY_CLASSES_ROOT)
//   regsvr32 /n /i:user tqMenuCtl.ocx   for the current user only (HKCU\Software\Classes)
//
// tqMenu is registered as a control (the "Control" key, MiscStatus, ToolboxBitmap32) with its
// ProgID "tqMenuCtl.tqMenu" and the type library; its property page tqMenuProperty with the
// ProgID "tqMenuCtl.tqMenuProperty".  Unregistering removes every key written here.
#include <windows.h>

#include <string>
#include <vector>

#include "control_window.h"
#include "mdl_menu.h"
#include "resource.h"
#include "tq_menu.h"
#include "tq/designer/win/menu_property.h"
#include "tq/com/module.h"
#include "tq/com/server.h"
#include "tq/com/variant.h"
#include "tq/error.h"
#include "tq/version.h"

namespace {

using tq::com::GuidString;
using tq::com::RegValue;

constexpr wchar_t kProgId[] = L"tqMenuCtl.tqMenu";
constexpr wchar_t kPageProgId[] = L"tqMenuCtl.tqMenuProperty";
constexpr wchar_t kPageName[] = L"tqMenuProperty";
constexpr wchar_t kClassName[] = L"tqMenu";
constexpr wchar_t kVersion[] = TQ_TYPELIB_VERSION_W;
// CATID_Control: the class is an ActiveX control.
constexpr wchar_t kCatidControl[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";

const tq::com::ClassEntry kClasses[] = {
    {&CLSID_tqMenu, &tq::ctl::TqMenu::Create},
    {&CLSID_tqMenuProperty, &tq::designer::CreateMenuPropertyPage},
};

std::vector<RegValue> RegistryValues(const std::wstring& path) {
    const std::wstring clsid = L"CLSID\\" + GuidString(CLSID_tqMenu);
    const std::wstring page = L"CLSID\\" + GuidString(CLSID_tqMenuProperty);
    const std::wstring page_progid = kPageProgId;
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
        // The property page tqMenu names in ISpecifyPropertyPages.
        {page, L"", kPageName},
        {page + L"\\InprocServer32", L"", path},
        {page + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {page + L"\\ProgID", L"", page_progid},
        {page_progid, L"", kPageName},
        {page_progid + L"\\CLSID", L"", GuidString(CLSID_tqMenuProperty)},
    };
}

}  // namespace

const tq::com::Server& tq::com::ThisServer() {
    static const Server server{kClasses, &RegistryValues};
    return server;
}

// The page's "Gera Script" button scripts gctlMenu, the tqMenu shown last on this thread.
void tq::designer::GenerateScriptOnShownControl() {
    tq::ctl::CommandReceiver* shown = tq::ctl::ShownControl();
    if (!shown)  // none shown on this thread, or the one shown last is gone
        throw tq::Error(tq::hr::kObjectNotSet,
                        u"Nenhum controle tqMenu está ativo para gerar o script.");
    tq::com::Variant ignored;
    // Automation() is the control's _tqMenu.
    tq::com::Check(static_cast<_tqMenu*>(shown->Automation())->GerarScript(&ignored));
}

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        tq::com::Module::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Unloaded by FreeLibrary (not process exit): give back what the module holds.
        tq::ctl::ControlWindow::UnregisterClass();
        tq::com::Module::ReleaseCaches();
    }
    return TRUE;
}

}  // extern "C"
