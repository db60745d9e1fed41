// tqBiblioteca's registration, machine-wide and per user through regsvr32, against whole
// snapshots of the registry; run alone, they leave the DLL registered as the fixture did.
#include <set>

#include "com_test.h"
#include "tq/com/handle.h"
#include "tq/com/registry.h"
#include "win_test.h"
#include "wine_drive.h"

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
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD name_len = 16384, type = 0, size = static_cast<DWORD>(data.size());
        if (RegEnumValueW(key.get(), i, name, &name_len, nullptr, &type, data.data(), &size)) break;
        std::wstring value = L"<type " + std::to_wstring(type) + L">";
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            value.assign(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0') value.pop_back();
        out.insert(Lower(path + L"|" + name + L"=" + value));
    }
    std::vector<std::wstring> children;
    wchar_t name[256];
    for (DWORD i = 0, len = 256; !RegEnumKeyExW(key.get(), i, name, &len, 0, 0, 0, 0);
         ++i, len = 256)
        children.emplace_back(name);
    for (const auto& child : children) Walk(root, path + L"\\" + child, out);
}

// HKEY_LOCAL_MACHINE's or HKEY_CURRENT_USER's Software\Classes, 32-bit view (Wow6432Node) inside.
Snapshot Classes(HKEY root) {
    Snapshot s;
    Walk(root, L"Software\\Classes", s);
    return s;
}

std::string Minus(const Snapshot& a, const Snapshot& b) {
    std::string out;
    for (const auto& x : a)
        if (!b.count(x)) out += tq::com::ToAnsi(x) + "\n";
    return out;
}

const std::wstring kClsid = tq::com::GuidString(CLSID_MenuTreeClass);
const std::wstring kLibid = tq::com::GuidString(LIBID_tqBiblioteca);

// Adds the expected values and otherwise only keys of ours or their containers; removes nothing.
void ExpectAdded(const Snapshot& before, const Snapshot& after) {
    EXPECT_EQ(Minus(before, after), "") << "registration removed these";
    const std::wstring r = L"Software\\Classes\\", c = r + L"CLSID\\" + kClsid;
    const std::wstring expected[] = {
        c + L"|=tqBiblioteca.MenuTree",
        c + L"\\InprocServer32|=" + WinPath(TQ_BIB_DLL),
        c + L"\\InprocServer32|ThreadingModel=Apartment",
        c + L"\\ProgID|=tqBiblioteca.MenuTree.1",
        c + L"\\VersionIndependentProgID|=tqBiblioteca.MenuTree",
        c + L"\\TypeLib|=" + kLibid,
        r + L"tqBiblioteca.MenuTree\\CLSID|=" + kClsid,
        r + L"tqBiblioteca.MenuTree\\CurVer|=tqBiblioteca.MenuTree.1",
        r + L"tqBiblioteca.MenuTree.1\\CLSID|=" + kClsid,
        r + L"TypeLib\\" + kLibid + L"\\1.0\\0\\" + (sizeof(void*) == 8 ? L"win64" : L"win32") +
            L"|=" + WinPath(TQ_BIB_DLL),
        r + L"Interface\\" + tq::com::GuidString(IID_MenuTree) + L"\\TypeLib|=" + kLibid,
        r + L"Interface\\" + tq::com::GuidString(IID_MenuItem) + L"\\TypeLib|=" + kLibid,
        // The type library's interfaces are marshalled by the automation marshaler.
        r + L"Interface\\" + tq::com::GuidString(IID_MenuTree) +
            L"\\ProxyStubClsid32|={00020424-0000-0000-C000-000000000046}",
    };
    for (const auto& e : expected) EXPECT_TRUE(after.count(Lower(e))) << tq::com::ToAnsi(e);
    const std::wstring ours[] = {kClsid, kLibid, tq::com::GuidString(IID_MenuTree),
                                 tq::com::GuidString(IID_MenuItem), L"tqbiblioteca.menutree"};
    std::string foreign;
    for (const auto& line : after) {
        if (before.count(line)) continue;
        bool mine = false;
        for (const auto& o : ours) mine |= line.find(Lower(o)) != std::wstring::npos;
        for (const wchar_t* container : {L"", L"\\clsid", L"\\typelib", L"\\interface"})
            mine |= line == L"software\\classes" + std::wstring(container);
        if (!mine) foreign += tq::com::ToAnsi(line) + "\n";
    }
    EXPECT_EQ(foreign, "") << "keys outside our own";
}

class BibRegister : public ComTest {
  protected:
    void SetUp() override {
        ComTest::SetUp();
        lib_.reset(LoadLibraryW(WinPath(TQ_BIB_DLL).c_str()));
        ASSERT_TRUE(lib_);
        reg_ = ProcOf<HRESULT(STDAPICALLTYPE*)()>(lib_.get(), "DllRegisterServer");
        unreg_ = ProcOf<HRESULT(STDAPICALLTYPE*)()>(lib_.get(), "DllUnregisterServer");
        install_ = ProcOf<HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR)>(lib_.get(), "DllInstall");
        ASSERT_TRUE(reg_ && unreg_ && install_);
    }
    void TearDown() override {
        // Leave the prefix as the registration fixture made it.
        if (install_ && reg_) {
            EXPECT_HRESULT_SUCCEEDED(install_(FALSE, L"user"));
            EXPECT_HRESULT_SUCCEEDED(reg_());
        }
        lib_.reset();
        ComTest::TearDown();
    }
    tq::com::UniqueLibrary lib_;
    HRESULT(STDAPICALLTYPE* reg_)() = nullptr;
    HRESULT(STDAPICALLTYPE* unreg_)() = nullptr;
    HRESULT(STDAPICALLTYPE* install_)(BOOL, LPCWSTR) = nullptr;
};

TEST_F(BibRegister, MachineRegistrationAddsOnlyItsKeysAndUnregistrationRemovesThemAll) {
    ASSERT_HRESULT_SUCCEEDED(unreg_());
    const Snapshot clean = Classes(HKEY_LOCAL_MACHINE);
    CLSID clsid{};
    EXPECT_HRESULT_FAILED(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid));
    ASSERT_HRESULT_SUCCEEDED(reg_());
    const Snapshot registered = Classes(HKEY_LOCAL_MACHINE);
    ExpectAdded(clean, registered);
    ASSERT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid));
    ComPtr<ITypeLib> tl;
    EXPECT_HRESULT_SUCCEEDED(LoadRegTypeLib(LIBID_tqBiblioteca, 1, 0, 0, tl.put()));
    tl = nullptr;
    ASSERT_HRESULT_SUCCEEDED(reg_());
    EXPECT_EQ(Classes(HKEY_LOCAL_MACHINE), registered) << "registering twice changes nothing";
    ASSERT_HRESULT_SUCCEEDED(unreg_());
    EXPECT_EQ(Classes(HKEY_LOCAL_MACHINE), clean);
    EXPECT_HRESULT_SUCCEEDED(unreg_()) << "unregistering what is not registered is no failure";
    // DllInstall without "user" is the machine registration.
    ASSERT_HRESULT_SUCCEEDED(install_(TRUE, nullptr));
    EXPECT_EQ(Classes(HKEY_LOCAL_MACHINE), registered);
    ASSERT_HRESULT_SUCCEEDED(install_(FALSE, L""));
    EXPECT_EQ(Classes(HKEY_LOCAL_MACHINE), clean);
}

TEST_F(BibRegister, Regsvr32PerUserWritesUnderHkcuOnlyAndRemovesItExactly) {
    const auto regsvr32 = [](const std::wstring& args) -> DWORD {
        std::wstring cmd = L"regsvr32.exe /s " + args + L" \"" + WinPath(TQ_BIB_DLL) + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi))
            return 0xFFFFFFFF;
        return CloseProcess(pi, 60000);
    };
    // A round trip first: the baseline then holds no empty containers an earlier run left.
    ASSERT_HRESULT_SUCCEEDED(install_(TRUE, L"user"));
    ASSERT_HRESULT_SUCCEEDED(install_(FALSE, L"user"));
    const Snapshot clean = Classes(HKEY_CURRENT_USER), machine = Classes(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(regsvr32(L"/n /i:user"), 0u);
    ExpectAdded(clean, Classes(HKEY_CURRENT_USER));
    EXPECT_EQ(Classes(HKEY_LOCAL_MACHINE), machine) << "the machine is left alone";
    ASSERT_EQ(regsvr32(L"/u /n /i:USER"), 0u);  // the word is case-insensitive
    EXPECT_EQ(Classes(HKEY_CURRENT_USER), clean);
    EXPECT_EQ(Classes(HKEY_LOCAL_MACHINE), machine);
}

}  // namespace
}  // namespace tq::test
