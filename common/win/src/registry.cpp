#include "tq/com/registry.h"

#include <vector>

#include "tq/com/com_ptr.h"
#include "tq/com/handle.h"

namespace tq::com {
namespace {

constexpr wchar_t kUserClasses[] = L"Software\\Classes\\";
// The standard marshaler for OLE Automation interfaces (PSOAInterface).
constexpr wchar_t kOleAutomationProxy[] = L"{00020424-0000-0000-C000-000000000046}";

SYSKIND NativeSysKind() {
    return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
}
const wchar_t* SysKindKey() {
    return sizeof(void*) == 8 ? L"win64" : L"win32";
}

std::wstring DirectoryOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The interfaces of a type library that late-bound clients marshal through the typelib
// marshaler: dispinterfaces (dual ones included) and [oleautomation] interfaces.
// Deletes the parents of `full` (a path under `root`) that are left empty, stopping at `stop`
// (exclusive).  Registration creates intermediate keys such as CLSID or TypeLib where a fresh
// per-user profile has none; unregistering takes them away again.  A parent that holds anything
// else is kept.
void PruneEmptyParents(HKEY root, std::wstring full, const std::wstring& stop) {
    for (;;) {
        const size_t slash = full.find_last_of(L'\\');
        if (slash == std::wstring::npos) return;
        full.resize(slash);
        if (full.size() <= stop.size()) return;
        HKEY raw = nullptr;
        if (RegOpenKeyExW(root, full.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return;
        UniqueHkey key(raw);
        DWORD subkeys = 0, values = 0;
        if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subkeys != 0 || values != 0)
            return;
        key.reset();
        if (RegDeleteKeyW(root, full.c_str()) != ERROR_SUCCESS) return;
    }
}

std::vector<std::pair<GUID, std::wstring>> AutomationInterfaces(ITypeLib* tl) {
    std::vector<std::pair<GUID, std::wstring>> out;
    const UINT n = tl->GetTypeInfoCount();
    for (UINT i = 0; i < n; ++i) {
        ComPtr<ITypeInfo> ti;
        if (FAILED(tl->GetTypeInfo(i, ti.put()))) continue;
        TYPEATTR* attr = nullptr;
        if (FAILED(ti->GetTypeAttr(&attr))) continue;
        const bool wanted =
            attr->typekind == TKIND_DISPATCH ||
            (attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION));
        const GUID guid = attr->guid;
        ti->ReleaseTypeAttr(attr);
        if (!wanted) continue;
        BSTR name = nullptr;
        ti->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        out.emplace_back(guid, name ? name : L"");
        SysFreeString(name);
    }
    return out;
}

}  // namespace

std::wstring GuidString(REFGUID g) {
    wchar_t buf[40] = {};
    StringFromGUID2(g, buf, 40);
    return buf;
}

RegScope ScopeFromCommandLine(const wchar_t* cmdline) {
    return (cmdline && _wcsicmp(cmdline, L"user") == 0) ? RegScope::User : RegScope::Machine;
}

HKEY Registrar::Root() const {
    return scope_ == RegScope::Machine ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

std::wstring Registrar::Full(const std::wstring& key) const {
    return scope_ == RegScope::Machine ? key : kUserClasses + key;
}

HRESULT Registrar::Set(const RegValue& v) const {
    HKEY raw = nullptr;
    LSTATUS st = RegCreateKeyExW(Root(), Full(v.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (st != ERROR_SUCCESS) return HRESULT_FROM_WIN32(st);
    UniqueHkey key(raw);
    st = RegSetValueExW(key.get(), v.name.empty() ? nullptr : v.name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(v.value.c_str()),
                        static_cast<DWORD>((v.value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(st);
}

HRESULT Registrar::SetAll(std::span<const RegValue> values) const {
    for (const RegValue& v : values) {
        const HRESULT hr = Set(v);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT Registrar::DeleteTree(const std::wstring& key) const {
    const LSTATUS st = RegDeleteTreeW(Root(), Full(key).c_str());
    if (st == ERROR_FILE_NOT_FOUND || st == ERROR_PATH_NOT_FOUND) return S_OK;
    if (st != ERROR_SUCCESS) return HRESULT_FROM_WIN32(st);
    // RegDeleteTree empties the key; remove the key itself too.
    const LSTATUS st2 = RegDeleteKeyW(Root(), Full(key).c_str());
    if (st2 != ERROR_SUCCESS && st2 != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(st2);
    // Per user, Software\Classes itself goes too when registration was all it held (a fresh
    // profile); under HKEY_CLASSES_ROOT only keys below the root are candidates.
    PruneEmptyParents(Root(), Full(key), scope_ == RegScope::Machine ? L"" : L"Software");
    return S_OK;
}

bool Registrar::Exists(const std::wstring& key) const {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(Root(), Full(key).c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
    RegCloseKey(raw);
    return true;
}

HRESULT Registrar::RegisterTypeLib(const std::wstring& module_path) const {
    ComPtr<ITypeLib> tl;
    HRESULT hr = LoadTypeLibEx(module_path.c_str(), REGKIND_NONE, tl.put());
    if (FAILED(hr)) return hr;
    std::wstring dir = DirectoryOf(module_path);
    if (scope_ == RegScope::Machine)
        return ::RegisterTypeLib(tl.get(), const_cast<LPOLESTR>(module_path.c_str()),
                                 const_cast<LPOLESTR>(dir.c_str()));

    // Per user: the same keys RegisterTypeLib writes, under HKCU\Software\Classes.
    TLIBATTR* la = nullptr;
    hr = tl->GetLibAttr(&la);
    if (FAILED(hr)) return hr;
    const GUID libid = la->guid;
    const std::wstring version =
        std::to_wstring(la->wMajorVerNum) + L"." + std::to_wstring(la->wMinorVerNum);
    tl->ReleaseTLibAttr(la);
    BSTR doc = nullptr;
    tl->GetDocumentation(-1, nullptr, &doc, nullptr, nullptr);
    const std::wstring help = doc ? doc : L"";
    SysFreeString(doc);

    const std::wstring lib = L"TypeLib\\" + GuidString(libid) + L"\\" + version;
    std::vector<RegValue> values = {
        {lib, L"", help},
        {lib + L"\\0\\" + SysKindKey(), L"", module_path},
        {lib + L"\\FLAGS", L"", L"0"},
        {lib + L"\\HELPDIR", L"", dir},
    };
    for (const auto& [iid, name] : AutomationInterfaces(tl.get())) {
        const std::wstring itf = L"Interface\\" + GuidString(iid);
        values.push_back({itf, L"", name});
        values.push_back({itf + L"\\ProxyStubClsid32", L"", kOleAutomationProxy});
        values.push_back({itf + L"\\TypeLib", L"", GuidString(libid)});
        values.push_back({itf + L"\\TypeLib", L"Version", version});
    }
    return SetAll(values);
}

HRESULT Registrar::UnregisterTypeLib(const std::wstring& module_path) const {
    ComPtr<ITypeLib> tl;
    HRESULT hr = LoadTypeLibEx(module_path.c_str(), REGKIND_NONE, tl.put());
    if (FAILED(hr)) return hr;
    TLIBATTR* la = nullptr;
    hr = tl->GetLibAttr(&la);
    if (FAILED(hr)) return hr;
    const TLIBATTR attr = *la;
    tl->ReleaseTLibAttr(la);
    if (scope_ == RegScope::Machine) {
        // Wine answers E_INVALIDARG (Windows TYPE_E_REGISTRYACCESS) for a library that is not
        // registered: look first.
        const std::wstring version_key = L"TypeLib\\" + GuidString(attr.guid) + L"\\" +
                                         std::to_wstring(attr.wMajorVerNum) + L"." +
                                         std::to_wstring(attr.wMinorVerNum);
        if (!Exists(version_key)) return S_OK;
        hr = ::UnRegisterTypeLib(attr.guid, attr.wMajorVerNum, attr.wMinorVerNum, attr.lcid,
                                 NativeSysKind());
        // Unregistering what is not registered is not a failure of ours.
        return (hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_CANTLOADLIBRARY) ? S_OK : hr;
    }
    for (const auto& [iid, name] : AutomationInterfaces(tl.get())) {
        hr = DeleteTree(L"Interface\\" + GuidString(iid));
        if (FAILED(hr)) return hr;
    }
    return DeleteTree(L"TypeLib\\" + GuidString(attr.guid));
}

}  // namespace tq::com
