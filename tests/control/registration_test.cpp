// What regsvr32 and DllInstall leave in the registry: the control's and its page's class keys and
// its type library.
#include "com_test.h"
#include "ctl_test.h"
#include "tq/com/registry.h"

namespace tq::test {
namespace {

using RegistrationTest = ComTest;

// A key's value, "<missing>" without the key, "" for a key without that value.
std::wstring ReadValue(HKEY root, const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t buf[1024] = {};
    DWORD size = sizeof(buf);
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return L"<missing>";
    RegCloseKey(h);
    RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size);
    return buf;
}

// The keys of the control and its page under a classes root; "*" or "": the key only.
struct Key {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
};
std::vector<Key> ExpectedKeys() {
    const std::wstring clsid = L"CLSID\\" + tq::com::GuidString(CLSID_tqMenu);
    const std::wstring page = L"CLSID\\" + tq::com::GuidString(CLSID_tqMenuProperty);
    const std::wstring libid = tq::com::GuidString(LIBID_tqMenuCtl);
    return {
        {clsid + L"\\Control", nullptr, L""},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", nullptr, L"tqMenuCtl.tqMenu"},
        {clsid + L"\\TypeLib", nullptr, libid},
        {clsid + L"\\Version", nullptr, L"1.0"},
        {clsid + L"\\MiscStatus\\1", nullptr, L"*"},
        {clsid + L"\\ToolboxBitmap32", nullptr, L"*"},
        {L"tqMenuCtl.tqMenu\\CLSID", nullptr, tq::com::GuidString(CLSID_tqMenu)},
        {L"TypeLib\\" + libid + L"\\1.0", nullptr, L"tqMenuCtl - Tarquen Componente Menu"},
        {L"Interface\\" + tq::com::GuidString(IID__tqMenu), nullptr, L"*"},
        {page + L"\\InprocServer32", nullptr, L"*"},
        {L"tqMenuCtl.tqMenuProperty\\CLSID", nullptr, tq::com::GuidString(CLSID_tqMenuProperty)},
    };
}

void ExpectKeys(HKEY root, const std::wstring& under, bool present) {
    for (const Key& k : ExpectedKeys()) {
        const std::wstring got = ReadValue(root, under + k.key, k.name);
        EXPECT_EQ(got != L"<missing>", present) << tq::com::ToAnsi(k.key);
        EXPECT_TRUE(!present || k.value == L"*" || got == k.value) << tq::com::ToAnsi(got);
    }
}

TEST_F(RegistrationTest, ControlPageAndTypeLibraryAreRegisteredMachineWideOrPerUser) {
    ExpectKeys(HKEY_CLASSES_ROOT, L"", true);
    ComPtr<IOleObject> ole;
    ASSERT_EQ(CoCreateInstance(CLSID_tqMenu, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                               ole.put_void()),
              S_OK);
    DWORD misc = 0;
    ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc & (OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INVISIBLEATRUNTIME),
              OLEMISC_SETCLIENTSITEFIRST);  // it hides itself once shown
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT,
                        L"CLSID\\" + tq::com::GuidString(CLSID_tqMenu) + L"\\MiscStatus\\1"),
              std::to_wstring(misc));

    // The type library documents AtalhosAtivos' default, and what a form saved without it reads.
    ComPtr<ITypeLib> tl;
    ComPtr<ITypeInfo> iface;
    ASSERT_EQ(LoadRegTypeLib(LIBID_tqMenuCtl, 1, 0, 0, tl.put()), S_OK);
    ASSERT_EQ(tl->GetTypeInfoOfGuid(IID__tqMenu, iface.put()), S_OK);
    Bstr help;
    ASSERT_EQ(iface->GetDocumentation(7, nullptr, help.put(), nullptr, nullptr), S_OK);
    EXPECT_NE(std::wstring(help.view())
                  .find(L"padrão False, e um formulário gravado sem o valor lê False"),
              std::wstring::npos);

    // DllInstall per user writes the same keys under HKCU and takes them all away again.
    HMODULE ocx = LoadLibraryW(WinPath(TQ_OCX_PATH).c_str());
    auto install = ProcOf<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(ocx, "DllInstall");
    ASSERT_NE(install, nullptr);
    for (const bool on : {true, false}) {
        ASSERT_EQ(install(on, L"user"), S_OK);
        ExpectKeys(HKEY_CURRENT_USER, L"Software\\Classes\\", on);
    }
    ExpectKeys(HKEY_CLASSES_ROOT, L"", true);  // the machine registration is untouched
    FreeLibrary(ocx);
}

}  // namespace
}  // namespace tq::test
