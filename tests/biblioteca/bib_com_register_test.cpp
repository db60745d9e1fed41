// tqBiblioteca under Wine: self-registration, machine-wide and per user.  The registry is
// snapshotted whole before and after, so "unregistering removes every key it added" and "adds
// only its own keys" are checked exactly.  These tests change the prefix's registration, so they
// run alone, and they leave the DLL registered machine-wide as the fixture did.
#include <set>
#include <string>
#include <vector>

#include "com_test.h"
#include "win_test.h"
#include "wine_drive.h"
#include "tq/com/handle.h"
#include "tq/com/registry.h"

namespace tq::test {
namespace {

using Snapshot = std::set<std::wstring>;

std::wstring Lower(std::wstring s) {
    CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

// Every key and value under root\path, as "path" and "path|name=value" lines, in lower case
// (the registry ignores case, and Wine spells some keys its own way, "Typelib").
void Walk(HKEY root, const std::wstring& path, Snapshot& out, std::vector<BYTE>& data) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return;
    tq::com::UniqueHkey key(raw);
    out.insert(Lower(path));
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD name_len = 16384, type = 0, size = static_cast<DWORD>(data.size());
        const LSTATUS st =
            RegEnumValueW(key.get(), i, name, &name_len, nullptr, &type, data.data(), &size);
        if (st != ERROR_SUCCESS) break;
        std::wstring value;
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            value.assign(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        else
            value = L"<type " + std::to_wstring(type) + L", " + std::to_wstring(size) + L" bytes>";
        while (!value.empty() && value.back() == L'\0') value.pop_back();
        out.insert(Lower(path + L"|" + name + L"=" + value));
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD len = 256;
        if (RegEnumKeyExW(key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        children.emplace_back(name);
    }
    for (const auto& child : children) Walk(root, path + L"\\" + child, out, data);
}

// HKEY_LOCAL_MACHINE\Software\Classes with its 32-bit view (Wow6432Node) inside it.
Snapshot MachineClasses() {
    Snapshot s;
    std::vector<BYTE> data(1 << 16);
    Walk(HKEY_LOCAL_MACHINE, L"Software\\Classes", s, data);
    return s;
}
Snapshot UserClasses() {
    Snapshot s;
    std::vector<BYTE> data(1 << 16);
    Walk(HKEY_CURRENT_USER, L"Software\\Classes", s, data);
    return s;
}

Snapshot Minus(const Snapshot& a, const Snapshot& b) {
    Snapshot out;
    for (const auto& x : a)
        if (!b.count(x)) out.insert(x);
    return out;
}

std::string Show(const Snapshot& s) {
    std::string out;
    for (const auto& x : s) out += tq::com::ToAnsi(x) + "\n";
    return out;
}

// Keys of ours relative to a classes root.
std::wstring Clsid() {
    return tq::com::GuidString(CLSID_MenuTreeClass);
}
std::wstring Libid() {
    return tq::com::GuidString(LIBID_tqBiblioteca);
}

// Whether a snapshot line lies under one of our own keys.  The type library's keys may appear in
// the 32-bit view as well: Wine registers automation interfaces in both.
bool OursUnder(const std::wstring& line, const std::wstring& root) {
    const std::wstring type_keys[] = {
        L"\\TypeLib\\" + Libid(),
        L"\\Interface\\" + tq::com::GuidString(IID_MenuTree),
        L"\\Interface\\" + tq::com::GuidString(IID_MenuItem),
    };
    std::vector<std::wstring> mine = {
        root + L"\\CLSID\\" + Clsid(),
        root + L"\\tqBiblioteca.MenuTree",
        root + L"\\tqBiblioteca.MenuTree.1",
    };
    for (const auto& t : type_keys) {
        mine.push_back(root + t);
        mine.push_back(root + L"\\Wow6432Node" + t);
    }
    // The containers of those keys, where registration had to create them (a fresh profile).
    for (const wchar_t* container : {L"", L"\\CLSID", L"\\TypeLib", L"\\Interface"}) {
        if (line == Lower(root + container)) return true;
    }
    for (auto m : mine) {
        m = Lower(m);
        if (line.size() >= m.size() && line.compare(0, m.size(), m) == 0 &&
            (line.size() == m.size() || line[m.size()] == L'\\' || line[m.size()] == L'|'))
            return true;
    }
    return false;
}

class BibRegister : public ComTest {
  protected:
    void SetUp() override {
        ComTest::SetUp();
        lib_.reset(LoadLibraryW(WinPath(TQ_BIB_DLL).c_str()));
        ASSERT_TRUE(lib_);
        reg_ = Export<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer");
        unreg_ = Export<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer");
        install_ = Export<HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR)>("DllInstall");
        ASSERT_TRUE(reg_ && unreg_ && install_);
    }
    void TearDown() override {
        // Leave the prefix as the registration fixture made it.
        if (install_) {
            EXPECT_HRESULT_SUCCEEDED(install_(FALSE, L"user"));
        }
        if (reg_) {
            EXPECT_HRESULT_SUCCEEDED(reg_());
        }
        lib_.reset();
        ComTest::TearDown();
    }
    template <class F>
    F Export(const char* name) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib_.get(), name)));
    }
    // The expected values, relative to `root`.
    Snapshot Expected(const std::wstring& root) {
        const std::wstring c = root + L"\\CLSID\\" + Clsid();
        const std::wstring path = WinPath(TQ_BIB_DLL);
        const std::wstring sys = sizeof(void*) == 8 ? L"win64" : L"win32";
        return {
            c + L"|=tqBiblioteca.MenuTree",
            c + L"\\InprocServer32|=" + path,
            c + L"\\InprocServer32|ThreadingModel=Apartment",
            c + L"\\ProgID|=tqBiblioteca.MenuTree.1",
            c + L"\\VersionIndependentProgID|=tqBiblioteca.MenuTree",
            c + L"\\TypeLib|=" + Libid(),
            root + L"\\tqBiblioteca.MenuTree\\CLSID|=" + Clsid(),
            root + L"\\tqBiblioteca.MenuTree\\CurVer|=tqBiblioteca.MenuTree.1",
            root + L"\\tqBiblioteca.MenuTree.1\\CLSID|=" + Clsid(),
            root + L"\\TypeLib\\" + Libid() + L"\\1.0\\0\\" + sys + L"|=" + path,
            root + L"\\Interface\\" + tq::com::GuidString(IID_MenuTree) + L"\\TypeLib|=" + Libid(),
            root + L"\\Interface\\" + tq::com::GuidString(IID_MenuItem) + L"\\TypeLib|=" + Libid(),
        };
    }
    void ExpectAddedExactly(const Snapshot& before, const Snapshot& after,
                            const std::wstring& root) {
        const Snapshot added = Minus(after, before);
        const Snapshot removed = Minus(before, after);
        EXPECT_TRUE(removed.empty()) << "registration removed:\n" << Show(removed);
        for (const auto& e : Expected(root)) {
            EXPECT_TRUE(added.count(Lower(e))) << "missing " << tq::com::ToAnsi(e);
        }
        Snapshot foreign;
        for (const auto& a : added)
            if (!OursUnder(a, root)) foreign.insert(a);
        EXPECT_TRUE(foreign.empty()) << "keys outside our own:\n" << Show(foreign);
    }

    tq::com::UniqueLibrary lib_;
    HRESULT(STDAPICALLTYPE* reg_)() = nullptr;
    HRESULT(STDAPICALLTYPE* unreg_)() = nullptr;
    HRESULT(STDAPICALLTYPE* install_)(BOOL, LPCWSTR) = nullptr;
};

TEST_F(BibRegister, MachineRegistrationAddsOnlyItsKeysAndUnregistrationRemovesThemAll) {
    ASSERT_HRESULT_SUCCEEDED(unreg_());
    const Snapshot clean = MachineClasses();
    ASSERT_GT(clean.size(), 100u);
    CLSID clsid{};
    EXPECT_HRESULT_FAILED(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid));

    ASSERT_HRESULT_SUCCEEDED(reg_());
    const Snapshot registered = MachineClasses();
    ExpectAddedExactly(clean, registered, L"Software\\Classes");
    // What a client does with it.
    ASSERT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid));
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_MenuTreeClass));
    ComPtr<ITypeLib> tl;
    EXPECT_HRESULT_SUCCEEDED(LoadRegTypeLib(LIBID_tqBiblioteca, 1, 0, 0, tl.put()));
    tl = nullptr;
    // Registering twice changes nothing.
    ASSERT_HRESULT_SUCCEEDED(reg_());
    EXPECT_EQ(MachineClasses(), registered);

    ASSERT_HRESULT_SUCCEEDED(unreg_());
    const Snapshot after = MachineClasses();
    EXPECT_TRUE(Minus(after, clean).empty()) << "left behind:\n" << Show(Minus(after, clean));
    EXPECT_TRUE(Minus(clean, after).empty()) << "removed too much:\n" << Show(Minus(clean, after));
    // Unregistering what is not registered is no failure.
    EXPECT_HRESULT_SUCCEEDED(unreg_());

    // DllInstall without "user" is the machine registration.
    const tq::com::Registrar machine(tq::com::RegScope::Machine);
    const std::wstring inproc = L"CLSID\\" + Clsid() + L"\\InprocServer32";
    ASSERT_HRESULT_SUCCEEDED(install_(TRUE, nullptr));
    EXPECT_TRUE(machine.Exists(inproc));
    EXPECT_TRUE(machine.Exists(L"TypeLib\\" + Libid()));
    ASSERT_HRESULT_SUCCEEDED(install_(FALSE, L""));
    EXPECT_FALSE(machine.Exists(L"CLSID\\" + Clsid()));
    EXPECT_FALSE(machine.Exists(L"TypeLib\\" + Libid()));
}

TEST_F(BibRegister, PerUserRegistrationWritesUnderHkcuAndRemovesItExactly) {
    // A round trip first, so that the baseline holds no empty container keys an earlier
    // registration left (unregistering prunes those).
    ASSERT_HRESULT_SUCCEEDED(install_(TRUE, L"user"));
    ASSERT_HRESULT_SUCCEEDED(install_(FALSE, L"user"));
    const Snapshot user_clean = UserClasses();
    const Snapshot machine = MachineClasses();

    ASSERT_HRESULT_SUCCEEDED(install_(TRUE, L"user"));
    const Snapshot user_registered = UserClasses();
    ExpectAddedExactly(user_clean, user_registered, L"Software\\Classes");
    // The type library's interfaces are marshalled by the automation marshaler.
    const std::wstring proxy = L"Software\\Classes\\Interface\\" +
                               tq::com::GuidString(IID_MenuTree) +
                               L"\\ProxyStubClsid32|={00020424-0000-0000-C000-000000000046}";
    EXPECT_TRUE(user_registered.count(Lower(proxy)));
    EXPECT_EQ(MachineClasses(), machine) << "per-user registration leaves the machine alone";

    ASSERT_HRESULT_SUCCEEDED(install_(FALSE, L"USER"));  // the word is case-insensitive
    const Snapshot user_after = UserClasses();
    EXPECT_TRUE(Minus(user_after, user_clean).empty()) << "left behind:\n"
                                                       << Show(Minus(user_after, user_clean));
    EXPECT_TRUE(Minus(user_clean, user_after).empty()) << "removed too much:\n"
                                                       << Show(Minus(user_clean, user_after));
    EXPECT_EQ(MachineClasses(), machine);
}

// regsvr32 /n /i:user, as a user without administrator rights runs it.
TEST_F(BibRegister, Regsvr32PerUserCommandLine) {
    auto run = [](const std::wstring& args) -> DWORD {
        std::wstring cmd = L"regsvr32.exe /s " + args + L" \"" + WinPath(TQ_BIB_DLL) + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi))
            return 0xFFFFFFFF;
        return tq::test::CloseProcess(pi, 60000);
    };
    const tq::com::Registrar user(tq::com::RegScope::User);
    const std::wstring key = L"CLSID\\" + Clsid() + L"\\InprocServer32";
    ASSERT_HRESULT_SUCCEEDED(install_(FALSE, L"user"));
    ASSERT_FALSE(user.Exists(key));
    ASSERT_EQ(run(L"/n /i:user"), 0u);
    EXPECT_TRUE(user.Exists(key));
    EXPECT_TRUE(user.Exists(L"TypeLib\\" + Libid()));
    ASSERT_EQ(run(L"/u /n /i:user"), 0u);
    EXPECT_FALSE(user.Exists(key));
    EXPECT_FALSE(user.Exists(L"CLSID\\" + Clsid()));
    EXPECT_FALSE(user.Exists(L"TypeLib\\" + Libid()));
}

}  // namespace
}  // namespace tq::test
