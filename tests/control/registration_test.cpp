// What regsvr32 leaves in the registry: the control's class keys, its type library, and the
// per-user registration of DllInstall.
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

TEST_F(RegistrationTest, ControlClassIsRegisteredAsAControlWithItsTypeLibrary) {
    ExpectKeys(HKEY_CLASSES_ROOT, L"", true);
    const std::wstring clsid = L"CLSID\\" + tq::com::GuidString(CLSID_tqMenu);
    ComPtr<IOleObject> ole;
    ASSERT_EQ(CoCreateInstance(CLSID_tqMenu, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                               ole.put_void()),
              S_OK);
    DWORD misc = 0;
    ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, clsid + L"\\MiscStatus\\1"), std::to_wstring(misc))
        << "the registry says what the object says";
    EXPECT_FALSE(misc & OLEMISC_INVISIBLEATRUNTIME);  // it hides itself once shown
    EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
    EXPECT_TRUE(misc & OLEMISC_ACTIVATEWHENVISIBLE);

    // ToolboxBitmap32 names a 16 x 15 bitmap in the library.
    const std::wstring toolbox = ReadValue(HKEY_CLASSES_ROOT, clsid + L"\\ToolboxBitmap32");
    const size_t comma = toolbox.rfind(L',');
    ASSERT_NE(comma, std::wstring::npos) << toolbox;
    const std::wstring file = toolbox.substr(0, comma);
    const int id = std::stoi(toolbox.substr(comma + 1));
    HMODULE lib = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(lib, nullptr) << "cannot load " << std::string(file.begin(), file.end());
    HBITMAP bmp =
        static_cast<HBITMAP>(LoadImageW(lib, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(bmp, nullptr);
    BITMAP info{};
    GetObjectW(bmp, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 16);
    EXPECT_EQ(info.bmHeight, 15);
    DeleteObject(bmp);
    FreeLibrary(lib);

    // The registered type library: its help string, and _tqMenu's members in slot order.
    ComPtr<ITypeLib> tl;
    ASSERT_EQ(LoadRegTypeLib(LIBID_tqMenuCtl, 1, 0, 0, tl.put()), S_OK);
    BSTR doc = nullptr;
    ASSERT_EQ(tl->GetDocumentation(-1, nullptr, &doc, nullptr, nullptr), S_OK);
    EXPECT_STREQ(doc, L"tqMenuCtl - Tarquen Componente Menu");
    SysFreeString(doc);
    ComPtr<ITypeInfo> ti;
    ASSERT_EQ(tl->GetTypeInfoOfGuid(IID__tqMenu, ti.put()), S_OK);
    // A dual interface's type information is the dispinterface; its vtable half follows.
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> vt;
    if (SUCCEEDED(ti->GetRefTypeOfImplType(-1, &ref))) ti->GetRefTypeInfo(ref, vt.put());
    ITypeInfo* iface = vt ? vt.get() : ti.get();
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(iface->GetTypeAttr(&attr), S_OK);
    std::vector<std::pair<short, std::wstring>> slots;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* fd = nullptr;
        ASSERT_EQ(iface->GetFuncDesc(i, &fd), S_OK);
        BSTR name = nullptr;
        iface->GetDocumentation(fd->memid, &name, nullptr, nullptr, nullptr);
        std::wstring kind = fd->invkind == INVOKE_PROPERTYGET      ? L" get"
                            : fd->invkind == INVOKE_PROPERTYPUT    ? L" let"
                            : fd->invkind == INVOKE_PROPERTYPUTREF ? L" set"
                                                                   : L"";
        if (fd->oVft >= static_cast<short>(7 * sizeof(void*)))
            slots.emplace_back(fd->oVft, std::wstring(name) + kind);
        SysFreeString(name);
        iface->ReleaseFuncDesc(fd);
    }
    iface->ReleaseTypeAttr(attr);
    std::sort(slots.begin(), slots.end());
    std::vector<std::wstring> order;
    for (auto& s : slots) order.push_back(s.second);
    EXPECT_EQ(order, (std::vector<std::wstring>{L"MenuTree get", L"MenuTree set", L"ExibirMenu get",
                                                L"ExibirMenu let", L"ReExibirMenu",
                                                L"ReloadDefault", L"DefineMenu", L"GerarScript",
                                                L"AtalhosAtivos get", L"AtalhosAtivos let"}));
    // The type library documents AtalhosAtivos' default, and what a form saved without it reads.
    BSTR help = nullptr;
    ASSERT_EQ(iface->GetDocumentation(7, nullptr, &help, nullptr, nullptr), S_OK);
    const std::wstring text = help ? help : L"";
    SysFreeString(help);
    EXPECT_NE(text.find(L"padrão False, e um formulário gravado sem o valor lê False"),
              std::wstring::npos)
        << text;

    // The page the control names is registered under its ProgID and is served by the library.
    ComPtr<ISpecifyPropertyPages> specify;
    ASSERT_EQ(ole.As(IID_ISpecifyPropertyPages, &specify), S_OK);
    CAUUID pages{};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    CLSID by_progid{};
    ASSERT_EQ(CLSIDFromProgID(L"tqMenuCtl.tqMenuProperty", &by_progid), S_OK);
    EXPECT_TRUE(pages.cElems == 1 && IsEqualGUID(pages.pElems[0], by_progid));
    CoTaskMemFree(pages.pElems);
    ComPtr<IPropertyPage2> page;
    EXPECT_EQ(CoCreateInstance(by_progid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage2,
                               page.put_void()),
              S_OK);
}

TEST_F(RegistrationTest, PerUserInstallWritesUnderHkcuAndRemovesItAll) {
    HMODULE ocx = LoadLibraryW(WinPath(TQ_OCX_PATH).c_str());
    ASSERT_NE(ocx, nullptr);
    auto install = ProcOf<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(ocx, "DllInstall");
    ASSERT_NE(install, nullptr);
    ASSERT_EQ(install(TRUE, L"user"), S_OK);
    ExpectKeys(HKEY_CURRENT_USER, L"Software\\Classes\\", true);
    ASSERT_EQ(install(FALSE, L"user"), S_OK);
    ExpectKeys(HKEY_CURRENT_USER, L"Software\\Classes\\", false);
    ExpectKeys(HKEY_CLASSES_ROOT, L"", true);  // the machine registration is untouched
    FreeLibrary(ocx);
}

}  // namespace
}  // namespace tq::test
