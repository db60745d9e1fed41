// tqBiblioteca's registration against whole snapshots of the registry; run alone, it leaves the
// DLL registered as the fixture did.
#include <set>

#include "com_test.h"
#include "tq/com/handle.h"
#include "tq/com/registry.h"
#include "win_test.h"

namespace tq::test {
namespace {

using Snapshot = std::set<std::wstring>;

std::wstring Lower(std::wstring s) {
    CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

// Every key and value under root\path as "path|name=value" lines, in lower case (as Wine's).
void Walk(HKEY root, const std::wstring& path, Snapshot& out) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return;
    tq::com::UniqueHkey key(raw);
    out.insert(Lower(path));
    wchar_t name[16384], data[4096];
    for (DWORD i = 0, len = 16384, size = sizeof data, type = 0;
         !RegEnumValueW(raw, i, name, &len, 0, &type, LPBYTE(data), &size);
         ++i, len = 16384, size = sizeof data)
        out.insert(Lower(path + L"|" + name + L"=" +
                         (type == REG_SZ ? std::wstring(data, size / 2).c_str() : L"?")));
    std::vector<std::wstring> children;
    for (DWORD i = 0, len = 256; !RegEnumKeyExW(raw, i, name, &len, 0, 0, 0, 0); ++i, len = 256)
        children.emplace_back(name);
    for (const auto& child : children) Walk(root, path + L"\\" + child, out);
}

Snapshot Classes(HKEY root) {  // Software\Classes, the 32-bit view (Wow6432Node) inside
    Snapshot s;
    Walk(root, L"Software\\Classes", s);
    return s;
}

// Holds the expected values (anything removed shows once unregistered).
void ExpectRegistered(const Snapshot& after) {
    using tq::com::GuidString;
    const std::wstring clsid = GuidString(CLSID_MenuTreeClass),
                       lib = GuidString(LIBID_tqBiblioteca), r = L"Software\\Classes\\",
                       c = r + L"CLSID\\" + clsid;
    const std::wstring expected[] = {
        c + L"|=tqBiblioteca.MenuTree",
        c + L"\\InprocServer32|=" + WinPath(TQ_BIB_DLL),
        c + L"\\InprocServer32|ThreadingModel=Apartment",
        c + L"\\ProgID|=tqBiblioteca.MenuTree.1",
        c + L"\\VersionIndependentProgID|=tqBiblioteca.MenuTree",
        c + L"\\TypeLib|=" + lib,
        r + L"tqBiblioteca.MenuTree\\CLSID|=" + clsid,
        r + L"tqBiblioteca.MenuTree\\CurVer|=tqBiblioteca.MenuTree.1",
        r + L"tqBiblioteca.MenuTree.1\\CLSID|=" + clsid,
        r + L"TypeLib\\" + lib + L"\\1.0\\0\\" + (sizeof(void*) == 8 ? L"win64" : L"win32") +
            L"|=" + WinPath(TQ_BIB_DLL),
        r + L"Interface\\" + GuidString(IID_MenuItem) + L"\\TypeLib|=" + lib,
        r + L"Interface\\" + GuidString(IID_MenuTree) +
            L"\\ProxyStubClsid32|={00020424-0000-0000-C000-000000000046}",
    };
    for (const auto& e : expected) EXPECT_TRUE(after.count(Lower(e))) << tq::com::ToAnsi(e);
}

class BibRegister : public ComTest {
  protected:
    void TearDown() override {  // leave the prefix as the registration fixture made it
        EXPECT_HRESULT_SUCCEEDED(reg_());
        ComTest::TearDown();
    }
    tq::com::UniqueLibrary lib_{LoadLibraryW(WinPath(TQ_BIB_DLL).c_str())};
    HRESULT(STDAPICALLTYPE* reg_)() = ProcOf<decltype(reg_)>(lib_.get(), "DllRegisterServer");
    HRESULT(STDAPICALLTYPE* unreg_)() = ProcOf<decltype(reg_)>(lib_.get(), "DllUnregisterServer");
};

TEST_F(BibRegister, RegistrationAddsItsKeysAndUnregistrationRemovesThemAll) {
    ASSERT_HRESULT_SUCCEEDED(unreg_());
    const Snapshot clean = Classes(HKEY_LOCAL_MACHINE);
    CLSID clsid{};
    ASSERT_HRESULT_SUCCEEDED(reg_());
    const Snapshot registered = Classes(HKEY_LOCAL_MACHINE);
    ExpectRegistered(registered);
    ASSERT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid));
    ComPtr<ITypeLib> tl;
    EXPECT_HRESULT_SUCCEEDED(LoadRegTypeLib(LIBID_tqBiblioteca, 1, 0, 0, tl.put()));
    ASSERT_HRESULT_SUCCEEDED(reg_());
    EXPECT_EQ(Classes(HKEY_LOCAL_MACHINE), registered) << "registering twice changes nothing";
    ASSERT_HRESULT_SUCCEEDED(unreg_());
    EXPECT_EQ(Classes(HKEY_LOCAL_MACHINE), clean);
    EXPECT_HRESULT_SUCCEEDED(unreg_()) << "unregistering what is not registered is no failure";
}

}  // namespace
}  // namespace tq::test
