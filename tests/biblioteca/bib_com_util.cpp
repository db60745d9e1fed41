#include "bib_com_util.h"

#include <algorithm>

namespace bibtest {

void ComTest::SetUp() {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

void ComTest::TearDown() {
    CoUninitialize();
}

std::wstring DllPath() {
    std::wstring path = L"Z:";
    for (const char* p = TQ_BIB_DLL; *p; ++p)
        path += (*p == '/') ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

ComPtr<MenuTree> NewTree() {
    CLSID clsid{};
    EXPECT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid));
    ComPtr<MenuTree> tree;
    EXPECT_HRESULT_SUCCEEDED(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_MenuTree, tree.put_void()));
    return tree;
}

short AddEntry(MenuTree* level, const wchar_t* caption, const wchar_t* nome) {
    Bstr c(std::wstring_view{caption}), n(std::wstring_view{nome});
    BSTR cb = c.get(), nb = n.get();
    short result = -1;
    if (FAILED(level->Add(&cb, &nb, &result))) return -1;
    return result;
}

ComPtr<MenuItem> ItemAt(MenuTree* level, LONG position) {
    ComPtr<MenuItem> item;
    EXPECT_HRESULT_SUCCEEDED(level->get_Item(Variant::FromLong(position), item.put()))
        << "Item(" << position << ")";
    return item;
}

ComPtr<MenuItem> ItemNamed(MenuTree* level, const wchar_t* nome) {
    ComPtr<MenuItem> item;
    EXPECT_HRESULT_SUCCEEDED(level->get_Item(Variant::FromString(nome), item.put()));
    return item;
}

ComPtr<MenuTree> SubOf(MenuItem* item) {
    ComPtr<MenuTree> sub;
    EXPECT_HRESULT_SUCCEEDED(item->get_SubMenu(sub.put()));
    return sub;
}

short CountOf(MenuTree* level) {
    short n = -1;
    EXPECT_HRESULT_SUCCEEDED(level->get_Count(&n));
    return n;
}

ComPtr<IUnknown> IdentityOf(IUnknown* p) {
    ComPtr<IUnknown> unk;
    EXPECT_HRESULT_SUCCEEDED(p->QueryInterface(IID_IUnknown, unk.put_void()));
    return unk;
}

std::wstring TakeErrorText() {
    IErrorInfo* raw = nullptr;
    if (GetErrorInfo(0, &raw) != S_OK || !raw) return L"";
    ComPtr<IErrorInfo> info = ComPtr<IErrorInfo>::Attach(raw);
    Bstr text;
    info->GetDescription(text.put());
    return std::wstring(text.view());
}

namespace {

void DumpLevel(MenuTree* level, bool with_hnd, int depth, std::wstring& out) {
    const short n = CountOf(level);
    for (short i = 1; i <= n; ++i) {
        ComPtr<MenuItem> item = ItemAt(level, i);
        if (!item) return;
        Bstr texto, caption, descricao, nome, tecla;
        LONG hnd = 0;
        VARIANT_BOOL consulta = 0, vis = 0, vis_def = 0, hab = 0, hab_def = 0;
        EXPECT_HRESULT_SUCCEEDED(item->get_TextoMenu(texto.put()));
        EXPECT_HRESULT_SUCCEEDED(item->get_Caption(caption.put()));
        EXPECT_HRESULT_SUCCEEDED(item->get_Descricao(descricao.put()));
        EXPECT_HRESULT_SUCCEEDED(item->get_Nome(nome.put()));
        EXPECT_HRESULT_SUCCEEDED(item->get_TeclaExtenso(tecla.put()));
        EXPECT_HRESULT_SUCCEEDED(item->get_HndMenu(&hnd));
        EXPECT_HRESULT_SUCCEEDED(item->get_MenuConsulta(&consulta));
        EXPECT_HRESULT_SUCCEEDED(item->get_Visivel(&vis));
        EXPECT_HRESULT_SUCCEEDED(item->get_VisivelDefault(&vis_def));
        EXPECT_HRESULT_SUCCEEDED(item->get_Habilitado(&hab));
        EXPECT_HRESULT_SUCCEEDED(item->get_HabilitadoDefault(&hab_def));
        out += std::wstring(depth * 2, L' ') + L"[" + std::wstring(nome.view()) + L"] caption=" +
               std::wstring(caption.view()) + L" texto=" + std::wstring(texto.view()) + L" desc=" +
               std::wstring(descricao.view()) + L" tecla=" + std::wstring(tecla.view()) +
               L" flags=" + std::to_wstring(consulta) + L"," + std::to_wstring(vis) + L"," +
               std::to_wstring(vis_def) + L"," + std::to_wstring(hab) + L"," +
               std::to_wstring(hab_def);
        if (with_hnd) out += L" hnd=" + std::to_wstring(hnd);
        out += L"\n";
        ComPtr<MenuTree> sub = SubOf(item.get());
        if (sub) DumpLevel(sub.get(), with_hnd, depth + 1, out);
    }
}

}  // namespace

std::wstring Dump(MenuTree* level, bool with_hnd) {
    std::wstring out;
    DumpLevel(level, with_hnd, 0, out);
    return out;
}

std::string StreamBytes(IStream* stream) {
    HGLOBAL h = nullptr;
    EXPECT_HRESULT_SUCCEEDED(GetHGlobalFromStream(stream, &h));
    STATSTG st{};
    EXPECT_HRESULT_SUCCEEDED(stream->Stat(&st, STATFLAG_NONAME));
    const auto* p = static_cast<const char*>(GlobalLock(h));
    std::string bytes(p, p + st.cbSize.QuadPart);
    GlobalUnlock(h);
    return bytes;
}

ComPtr<IStream> StreamOf(const std::string& bytes) {
    ComPtr<IStream> stream;
    EXPECT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    ULONG written = 0;
    if (!bytes.empty()) {
        EXPECT_HRESULT_SUCCEEDED(
            stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written));
    }
    LARGE_INTEGER zero{};
    EXPECT_HRESULT_SUCCEEDED(stream->Seek(zero, STREAM_SEEK_SET, nullptr));
    return stream;
}

std::string SaveToBytes(IUnknown* tree) {
    ComPtr<IPersistStreamInit> persist;
    EXPECT_HRESULT_SUCCEEDED(tree->QueryInterface(IID_IPersistStreamInit, persist.put_void()));
    ComPtr<IStream> stream;
    EXPECT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    EXPECT_HRESULT_SUCCEEDED(persist->Save(stream.get(), FALSE));
    return StreamBytes(stream.get());
}

namespace {

void SetAll(MenuItem* item, const std::wstring& tag, int variant, bool set_texto, LONG hnd) {
    EXPECT_HRESULT_SUCCEEDED(item->put_Caption(Bstr(L"&" + tag + L" Ação").get()));
    if (set_texto) {
        EXPECT_HRESULT_SUCCEEDED(item->put_TextoMenu(Bstr(tag + L"\tCtrl+Ç").get()));
    }
    EXPECT_HRESULT_SUCCEEDED(item->put_Descricao(Bstr(L"Descrição de " + tag).get()));
    EXPECT_HRESULT_SUCCEEDED(item->put_TeclaExtenso(Bstr(L"Ctrl+" + tag).get()));
    EXPECT_HRESULT_SUCCEEDED(item->put_HndMenu(hnd));
    // Every combination of the five flags differs between neighbours.
    EXPECT_HRESULT_SUCCEEDED(item->put_MenuConsulta(variant & 1 ? VARIANT_TRUE : VARIANT_FALSE));
    EXPECT_HRESULT_SUCCEEDED(item->put_Visivel(variant & 2 ? VARIANT_FALSE : VARIANT_TRUE));
    EXPECT_HRESULT_SUCCEEDED(item->put_VisivelDefault(variant & 4 ? VARIANT_FALSE : VARIANT_TRUE));
    EXPECT_HRESULT_SUCCEEDED(item->put_Habilitado(variant & 8 ? VARIANT_FALSE : VARIANT_TRUE));
    EXPECT_HRESULT_SUCCEEDED(
        item->put_HabilitadoDefault(variant & 16 ? VARIANT_FALSE : VARIANT_TRUE));
}

}  // namespace

ComPtr<MenuTree> SampleTree() {
    ComPtr<MenuTree> tree = NewTree();
    if (!tree) return tree;
    int variant = 0;
    LONG hnd = 1000;
    for (int a = 1; a <= 3; ++a) {
        const std::wstring ta = L"A" + std::to_wstring(a);
        AddEntry(tree.get(), L"x", ta.c_str());
        ComPtr<MenuItem> ia = ItemNamed(tree.get(), ta.c_str());
        SetAll(ia.get(), ta, variant++, a != 2, hnd++);
        ComPtr<MenuTree> la = SubOf(ia.get());
        for (int b = 1; b <= 2; ++b) {
            const std::wstring tb = ta + L"B" + std::to_wstring(b);
            AddEntry(la.get(), L"x", tb.c_str());
            ComPtr<MenuItem> ib = ItemNamed(la.get(), tb.c_str());
            SetAll(ib.get(), tb, variant++, true, hnd++);
            ComPtr<MenuTree> lb = SubOf(ib.get());
            for (int c = 1; c <= 2; ++c) {
                const std::wstring tc = tb + L"C" + std::to_wstring(c);
                AddEntry(lb.get(), L"x", tc.c_str());
                SetAll(ItemNamed(lb.get(), tc.c_str()).get(), tc, variant++, c == 1, hnd++);
            }
        }
    }
    return tree;
}

std::string Narrow(const std::wstring& s) {
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

}  // namespace bibtest
