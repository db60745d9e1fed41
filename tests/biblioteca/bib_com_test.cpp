// tqBiblioteca.dll through the registry: COM rules, VARIANT conversions, late binding, For Each
// and persistence; the tree's own rules and saved layout are the portable core's tests.
#include <cstring>

#include "com_test.h"
#include "tq/bib/persist.h"
#include "tq/com/handle.h"
#include "tq/com/late_bind.h"
#include "tq/error.h"
#include "win_test.h"

namespace tq::test {
namespace {

using BibCom = ComTest;

// Three levels, every property of every entry distinct (accents included), A2's TextoMenu never
// put, HndMenu 1000.. depth first.
ComPtr<MenuTree> SampleTree() {
    ComPtr<MenuTree> tree = NewTree();
    int n = 0;
    const auto fill = [&](auto& self, MenuTree* level, const std::wstring& tag, int depth) -> void {
        for (int k = 1; k <= (depth ? 2 : 3); ++k) {
            const std::wstring t = tag + static_cast<wchar_t>(L'A' + depth) + std::to_wstring(k);
            ComPtr<MenuItem> e = AddEntry(level, L"&" + t + L" Ação", t);
            if (t != L"A2") e->put_TextoMenu(Bstr(t + L"\tCtrl+Ç").get());
            e->put_Descricao(Bstr(L"Descrição de " + t).get());
            e->put_TeclaExtenso(Bstr(L"Ctrl+" + t).get());
            e->put_HndMenu(1000 + n);
            e->put_MenuConsulta(n & 1 ? VARIANT_TRUE : 0), e->put_Visivel(n & 2 ? 0 : VARIANT_TRUE);
            e->put_VisivelDefault(n & 4 ? 0 : VARIANT_TRUE), e->put_Habilitado(n & 8 ? 0 : -1);
            e->put_HabilitadoDefault(n & 16 ? 0 : VARIANT_TRUE);
            ++n;
            if (depth < 2) self(self, SubOf(e.get()).get(), t, depth + 1);
        }
    };
    fill(fill, tree.get(), L"", 0);
    return tree;
}

ULONG RefsOf(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

TEST_F(BibCom, ObjectsFollowTheComRulesAndTheDllUnloadsOnlyWhenAllAreGone) {
    // Through the DLL's own exports first: a class object, a server lock or any object keeps it.
    tq::com::UniqueLibrary lib(LoadLibraryW(WinPath(TQ_BIB_DLL).c_str()));
    ASSERT_TRUE(lib);
    auto get_class =
        ProcOf<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(lib.get(), "DllGetClassObject");
    auto can_unload = ProcOf<HRESULT(STDAPICALLTYPE*)()>(lib.get(), "DllCanUnloadNow");
    ASSERT_TRUE(get_class && can_unload);
    EXPECT_EQ(can_unload(), S_OK);
    ComPtr<IClassFactory> factory;
    ASSERT_HRESULT_SUCCEEDED(get_class(CLSID_MenuTreeClass, IID_IClassFactory, factory.put_void()));
    EXPECT_EQ(can_unload(), S_FALSE);
    ComPtr<IUnknown> none;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, none.put_void()), E_NOINTERFACE);
    ComPtr<MenuTree> own;
    ASSERT_HRESULT_SUCCEEDED(factory->CreateInstance(nullptr, IID_MenuTree, own.put_void()));
    ASSERT_HRESULT_SUCCEEDED(factory->LockServer(TRUE));
    factory = nullptr;
    ComPtr<MenuItem> deep =
        AddEntry(SubOf(AddEntry(own.get(), L"B", L"B").get()).get(), L"C", L"C");
    ComPtr<ITypeInfo> ti;
    ASSERT_HRESULT_SUCCEEDED(own->GetTypeInfo(0, 0, ti.put()));
    EXPECT_HRESULT_FAILED(own->get_Item(Variant::FromLong(9), deep.put()));
    ti = nullptr;
    own = nullptr;
    EXPECT_EQ(can_unload(), S_FALSE) << "the server lock is still held";
    ASSERT_HRESULT_SUCCEEDED(get_class(CLSID_MenuTreeClass, IID_IClassFactory, factory.put_void()));
    ASSERT_HRESULT_SUCCEEDED(factory->LockServer(FALSE));
    factory = nullptr;
    EXPECT_EQ(can_unload(), S_OK);

    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    EXPECT_EQ(CoCreateInstance(CLSID_MenuTreeClass, tree.get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                               none.put_void()),
              CLASS_E_NOAGGREGATION);
    ComPtr<MenuItem> item = AddEntry(tree.get(), L"A", L"A");
    ComPtr<MenuTree> sub = SubOf(item.get());
    item->put_HndMenu(77);
    // Which interfaces each object answers; every answer has the one identity.
    const IID* const all[] = {
        &IID_IDispatch,         &IID_MenuTree,           &IID_IPersist,
        &IID_IPersistStream,    &IID_IPersistStreamInit, &IID_IPersistPropertyBag,
        &IID_IProvideClassInfo, &IID_ISupportErrorInfo,  &IID_MenuItem,
        &IID_IOleObject,        &IID_IEnumVARIANT,       &IID_IProvideClassInfo2};
    const struct {
        IUnknown* object;
        const char* answers;  // one flag per entry of `all`
    } objects[] = {
        {tree.get(), "111111110000"}, {sub.get(), "111111110000"}, {item.get(), "100000011000"}};
    for (const auto& o : objects) {
        for (size_t i = 0; i < std::size(all); ++i) {
            SCOPED_TRACE(::testing::Message() << o.answers << " #" << i);
            ComPtr<IUnknown> p;
            EXPECT_EQ(o.object->QueryInterface(*all[i], p.put_void()),
                      o.answers[i] == '1' ? S_OK : E_NOINTERFACE);
            if (p) {
                EXPECT_EQ(IdentityOf(p.get()), IdentityOf(o.object));
            }
        }
    }
    // One entry is one object however it is reached: position, name, handle, For Each.
    VARIANT_BOOL f = 0;
    ComPtr<MenuItem> by_name = ItemAt(tree.get(), Variant::FromString(L"A")), by_hnd;
    ASSERT_HRESULT_SUCCEEDED(tree->ItemPorHnd(Variant::FromLong(77), &f, &f, &f, by_hnd.put()));
    ComPtr<IUnknown> en;
    ASSERT_HRESULT_SUCCEEDED(tree->get__NewEnum(en.put()));
    ComPtr<IEnumVARIANT> ev;
    ASSERT_HRESULT_SUCCEEDED(en.As(IID_IEnumVARIANT, &ev));
    Variant v;
    ASSERT_EQ(ev->Next(1, &v, nullptr), S_OK);
    for (IUnknown* p : {static_cast<IUnknown*>(by_name.get()), static_cast<IUnknown*>(by_hnd.get()),
                        V_UNKNOWN(&v)})
        EXPECT_EQ(IdentityOf(p), IdentityOf(item.get()));
    by_name = nullptr;
    EXPECT_EQ(RefsOf(item.get()), 3u) << "ours, by_hnd's and the enumerated VARIANT's";
    EXPECT_EQ(RefsOf(tree.get()), 1u);
    // What a client holds outlives the tree that held it.
    tree = nullptr;
    EXPECT_EQ(NomeOf(item.get()), L"A");
    EXPECT_EQ(CountOf(sub.get()), 0);
}

Variant Of(VARTYPE vt, double number) {
    Variant v;
    V_VT(&v) = vt;
    if (vt == VT_DECIMAL) VarDecFromR8(number, &V_DECIMAL(&v)), V_VT(&v) = VT_DECIMAL;
    if (vt == VT_I2) V_I2(&v) = static_cast<SHORT>(number);
    if (vt == VT_UI1) V_UI1(&v) = static_cast<BYTE>(number);
    if (vt == VT_I4) V_I4(&v) = static_cast<LONG>(number);
    if (vt == VT_UI4) V_UI4(&v) = static_cast<ULONG>(static_cast<LONG>(number));
    if (vt == VT_I8) V_I8(&v) = static_cast<LONGLONG>(number);
    if (vt == VT_R4) V_R4(&v) = static_cast<float>(number);
    if (vt == VT_R8 || vt == VT_DATE) V_R8(&v) = number;
    if (vt == VT_CY) V_CY(&v).int64 = static_cast<LONGLONG>(number * 10000);
    if (vt == VT_ERROR) V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}

// The Nome of the entry a lookup answers, or "error <hr>: <text>".
std::wstring Outcome(HRESULT hr, MenuItem* item) {
    if (SUCCEEDED(hr)) return NomeOf(item);
    wchar_t code[16];
    swprintf(code, 16, L"%08lX", static_cast<unsigned long>(hr));
    return L"error " + std::wstring(code) + L": " + TakeErrorText();
}

TEST_F(BibCom, ItemTakesAnyNumberOrANameAndExplainsEverythingElse) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    for (const wchar_t* n : {L"UM", L"DOIS", L"TRES", L"2"}) AddEntry(tree.get(), n, n);
    LONG one = 1;
    Variant three = Variant::FromLong(3), by_ref, by_variant, nested, object;
    V_VT(&by_ref) = VT_I4 | VT_BYREF, V_I4REF(&by_ref) = &one;
    V_VT(&by_variant) = VT_VARIANT | VT_BYREF, V_VARIANTREF(&by_variant) = &three;
    V_VT(&nested) = VT_VARIANT | VT_BYREF, V_VARIANTREF(&nested) = &by_ref;
    ComPtr<IDispatch> d;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_IDispatch, &d));
    object = Variant::FromDispatch(d.get());
    const std::wstring type = L"error 80020005: Tipo de índice inválido: ";
    const std::wstring range = L"error 8002000B: Índice fora do intervalo: ";
    const struct {
        Variant index;
        std::wstring expected;
    } cases[] = {
        {Of(VT_I2, 2), L"DOIS"},
        {Of(VT_UI1, 3), L"TRES"},
        {Of(VT_I8, 1), L"UM"},
        {Of(VT_R8, 2), L"DOIS"},
        {Of(VT_R4, 3), L"TRES"},
        {Of(VT_CY, 2), L"DOIS"},
        {Of(VT_DECIMAL, 3), L"TRES"},
        {by_ref, L"UM"},
        {by_variant, L"TRES"},
        {Variant::FromString(L"2"), L"2"},  // a string is a name, even one that looks a number
        {Variant::FromString(L"um"), L"error 8002000B: Nome não encontrado: \"um\""},
        {Of(VT_I4, 0), range + L"0 (Count = 4)"},
        {Of(VT_I4, -1), range + L"-1 (Count = 4)"},
        {Of(VT_I4, 5), range + L"5 (Count = 4)"},
        {Of(VT_R8, 1.5), L"error 8002000B: Índice não inteiro: 1.5"},
        {Of(VT_R8, 5e30), range + L"5e+30 (Count = 4)"},
        {Of(VT_EMPTY, 0), type + L"Empty (use a posição 1..Count ou o Nome)"},
        {Of(VT_NULL, 0), type + L"Null (use a posição 1..Count ou o Nome)"},
        {Variant::FromBool(true), type + L"Boolean (use a posição 1..Count ou o Nome)"},
        {Of(VT_DATE, 2), type + L"Date (use a posição 1..Count ou o Nome)"},
        {Of(VT_ERROR, 0), type + L"Error (use a posição 1..Count ou o Nome)"},
        {object, type + L"Object (use a posição 1..Count ou o Nome)"},
        {nested, L"error 80020005: Tipo de Variant inválido: referência a outra referência"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "vt " << V_VT(&c.index));
        ComPtr<MenuItem> item;
        const HRESULT hr = tree->get_Item(c.index, item.put());
        EXPECT_EQ(Outcome(hr, item.get()), c.expected);
        EXPECT_EQ(FAILED(hr), !item);
    }
    VARIANT odd;  // a type OLE itself cannot copy
    V_VT(&odd) = 0x7F, V_I4(&odd) = 1;
    ComPtr<MenuItem> none;
    EXPECT_EQ(Outcome(tree->get_Item(odd, none.put()), none.get()),
              L"error 80020008: Tipo de Variant inválido: VarType 127");
    EXPECT_EQ(tree->get_Item(Variant::FromLong(1), nullptr), E_POINTER);
    ComPtr<ISupportErrorInfo> sei;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_ISupportErrorInfo, &sei));
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_MenuTree), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IOleObject), S_FALSE);
    ASSERT_HRESULT_SUCCEEDED(ItemAt(tree.get(), 1).As(IID_ISupportErrorInfo, &sei));
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_MenuItem), S_OK);

    // Count is a 16-bit Integer: a level stops at 32767 entries instead of wrapping around.
    Bstr x(std::wstring_view(L"x"));
    BSTR c = x.get(), n = x.get();
    short result = 0;
    while (CountOf(tree.get()) < 32767) ASSERT_HRESULT_SUCCEEDED(tree->Add(&c, &n, &result));
    EXPECT_EQ(tree->Add(&c, &n, &result), static_cast<HRESULT>(tq::hr::kOverflow));
    EXPECT_EQ(TakeErrorText(), L"Estouro: um nível não pode ter mais de 32767 entradas");
    EXPECT_EQ(CountOf(tree.get()), 32767);
}

TEST_F(BibCom, ItemPorHndTakesAnyIntegralNumberAndAnswersNothingOtherwise) {
    ComPtr<MenuTree> tree = SampleTree();  // HndMenu 1000.. depth first
    ASSERT_TRUE(tree);
    ItemAt(SubOf(ItemAt(tree.get(), 1).get()).get(), 1)->put_HndMenu(-1);  // A1 B1
    LONG hnd = 1002;
    Variant by_ref;
    V_VT(&by_ref) = VT_I4 | VT_BYREF, V_I4REF(&by_ref) = &hnd;
    const struct {
        Variant id;
        std::wstring expected;
    } cases[] = {
        {Of(VT_I4, 1000), L"A1"},
        {Of(VT_I2, 1003), L"A1B1C2"},
        {Of(VT_R8, 1002), L"A1B1C1"},
        {by_ref, L"A1B1C1"},
        {Of(VT_UI4, -1), L"A1B1"},              // a handle shown as unsigned is the same handle
        {Of(VT_I8, 4294968296.0), L"Nothing"},  // 1000 + 2^32: no 32-bit handle
        {Of(VT_R8, 0.5), L"Nothing"},
        {Of(VT_I4, 0), L"Nothing"},
        {Of(VT_EMPTY, 0), L"Nothing"},
        {Of(VT_NULL, 0), L"Nothing"},
        {Variant::FromString(L"1000"),
         L"error 80020005: Tipo de Id inválido: VarType 8 (esperado um Long)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "vt " << V_VT(&c.id));
        VARIANT_BOOL a = VARIANT_TRUE, b = VARIANT_FALSE;
        ComPtr<MenuItem> item;
        const HRESULT hr = tree->ItemPorHnd(c.id, &a, &b, &a, item.put());
        EXPECT_EQ(Outcome(hr, item.get()), c.expected);
        EXPECT_EQ(a, VARIANT_TRUE) << "the flags are left alone";
        EXPECT_EQ(b, VARIANT_FALSE);
    }
    ComPtr<MenuItem> item;
    EXPECT_EQ(tree->ItemPorHnd(Variant::FromLong(1000), nullptr, nullptr, nullptr, item.put()),
              S_OK);
    EXPECT_EQ(NomeOf(item.get()), L"A1");
}

// Every member by name is the VBScript client's test (tests/vbs); here what a script cannot see.
TEST_F(BibCom, LateBindingAnswersThroughTheRegisteredTypeLibrary) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    AddEntry(tree.get(), L"A", L"A");
    ComPtr<IDispatch> d;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_IDispatch, &d));
    DISPID id = 0;
    EXPECT_EQ(tq::com::GetDispId(d.get(), L"NaoExiste", &id), DISP_E_UNKNOWNNAME);
    ASSERT_HRESULT_SUCCEEDED(tq::com::GetDispId(d.get(), L"iTEM", &id)) << "names ignore case";
    EXPECT_EQ(id, DISPID_VALUE);
    // A failure reaches a script as an exception with its code, text and source.
    Variant seven = Variant::FromLong(7), r;
    DISPPARAMS params{&seven, nullptr, 1, 0};
    EXCEPINFO ex{};
    ASSERT_EQ(d->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                        &r, &ex, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(ex.scode, DISP_E_BADINDEX);
    EXPECT_STREQ(ex.bstrDescription, L"Índice fora do intervalo: 7 (Count = 1)");
    EXPECT_STREQ(ex.bstrSource, L"tqBiblioteca");
    SysFreeString(ex.bstrDescription), SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrHelpFile);

    // The class's type information, help strings with their accents intact.
    ComPtr<IProvideClassInfo> pci;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_IProvideClassInfo, &pci));
    ComPtr<ITypeInfo> ti, itf;
    ASSERT_HRESULT_SUCCEEDED(pci->GetClassInfo(ti.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_HRESULT_SUCCEEDED(ti->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_MenuTreeClass));
    ti->ReleaseTypeAttr(attr);
    HREFTYPE ref = 0;
    ASSERT_HRESULT_SUCCEEDED(ti->GetRefTypeOfImplType(0, &ref));
    ASSERT_HRESULT_SUCCEEDED(ti->GetRefTypeInfo(ref, itf.put()));
    Bstr name, help;
    ASSERT_HRESULT_SUCCEEDED(
        itf->GetDocumentation(DISPID_VALUE, name.put(), help.put(), nullptr, nullptr));
    EXPECT_EQ(help.view(), L"Entrada pela posição (1..Count) ou pelo Nome");
}

TEST_F(BibCom, ForEachWalksTheLiveLevel) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    for (const wchar_t* n : {L"UM", L"DOIS", L"TRES"}) AddEntry(tree.get(), n, n);
    ComPtr<IUnknown> unk;
    ASSERT_HRESULT_SUCCEEDED(tree->get__NewEnum(unk.put()));
    ComPtr<IEnumVARIANT> e, clone;
    ASSERT_HRESULT_SUCCEEDED(unk.As(IID_IEnumVARIANT, &e));
    const auto next = [](IEnumVARIANT* en, ULONG n, HRESULT expected) {
        Variant out[4];
        ULONG got = 99;
        EXPECT_EQ(en->Next(n, out, &got), expected);
        std::wstring names;
        for (ULONG i = 0; i < got && i < 4; ++i) {
            ComPtr<MenuItem> item;
            V_DISPATCH(&out[i])->QueryInterface(IID_MenuItem, item.put_void());
            names += NomeOf(item.get()) + L";";
        }
        return names;
    };
    EXPECT_EQ(next(e.get(), 2, S_OK), L"UM;DOIS;");
    ASSERT_HRESULT_SUCCEEDED(e->Clone(clone.put()));  // goes on from the same place
    AddEntry(tree.get(), L"QUATRO", L"QUATRO");       // added during the walk: still visited
    EXPECT_EQ(next(e.get(), 4, S_FALSE), L"TRES;QUATRO;");
    Variant one;
    EXPECT_EQ(e->Next(2, &one, nullptr), E_POINTER) << "more than one needs a count back";
    EXPECT_EQ(clone->Skip(1), S_OK);
    EXPECT_EQ(next(clone.get(), 1, S_OK), L"QUATRO;");
    EXPECT_EQ(clone->Skip(1), S_FALSE);
    ASSERT_HRESULT_SUCCEEDED(clone->Reset());
    EXPECT_EQ(next(clone.get(), 1, S_OK), L"UM;");
    ASSERT_HRESULT_SUCCEEDED(tree->Clear(nullptr));
    EXPECT_EQ(next(clone.get(), 1, S_FALSE), L"") << "Clear ends a walk";
}

TEST_F(BibCom, StreamsHoldExactlyTheirOwnBytesAndDamagedOnesChangeNothing) {
    ComPtr<MenuTree> a = SampleTree(), b = NewTree(), a2 = NewTree(), b2 = NewTree();
    ASSERT_TRUE(a && b && a2 && b2);
    AddEntry(b.get(), L"Só um", L"UM");
    ComPtr<IPersistStreamInit> pa, pa2, pb2;
    ASSERT_HRESULT_SUCCEEDED(a.As(IID_IPersistStreamInit, &pa));
    ULARGE_INTEGER max{};
    ASSERT_HRESULT_SUCCEEDED(pa->GetSizeMax(&max));
    const std::string good = SavedBytes(a.get());
    EXPECT_EQ(max.QuadPart, good.size()) << "GetSizeMax is exact";
    uint32_t count = 0;
    std::memcpy(&count, good.data(), 4);
    EXPECT_EQ(count, good.size() - 4) << "a byte count, then the tree";
    // Two trees and markers in one stream: each load reads its own bytes only.
    const std::string marker = "\x11\xEE\xFF\xC0";
    ComPtr<IStream> shared = StreamOf(good + marker + SavedBytes(b.get()) + marker);
    ASSERT_HRESULT_SUCCEEDED(a2.As(IID_IPersistStreamInit, &pa2));
    ASSERT_HRESULT_SUCCEEDED(b2.As(IID_IPersistStreamInit, &pb2));
    for (IPersistStreamInit* p : {pa2.get(), pb2.get()}) {
        ASSERT_HRESULT_SUCCEEDED(p->Load(shared.get())) << TakeErrorText();
        char got[4] = {};
        ASSERT_HRESULT_SUCCEEDED(shared->Read(got, 4, nullptr));
        EXPECT_EQ(std::string(got, 4), marker);
    }
    EXPECT_EQ(SavedBytes(b2.get()), SavedBytes(b.get()));
    // Everything but HndMenu, which is run-time state; A2's TextoMenu still follows its Caption.
    EXPECT_EQ(SavedBytes(a2.get()), good);
    EXPECT_EQ(HndOf(ItemAt(a2.get(), 1).get()), 0);
    ComPtr<MenuItem> a2_entry = ItemAt(a2.get(), 2);
    a2_entry->put_Caption(Bstr(L"Outro").get());
    Bstr texto;
    a2_entry->get_TextoMenu(texto.put());
    EXPECT_EQ(texto.view(), L"Outro");

    // OLE's own helpers make a new object of the class from the stream.
    ComPtr<IPersistStream> ps;
    ASSERT_HRESULT_SUCCEEDED(a.As(IID_IPersistStream, &ps));
    ComPtr<IStream> ole = StreamOf("");
    ASSERT_HRESULT_SUCCEEDED(OleSaveToStream(ps.get(), ole.get()));
    ole->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    ComPtr<MenuTree> loaded;
    ASSERT_HRESULT_SUCCEEDED(OleLoadFromStream(ole.get(), IID_MenuTree, loaded.put_void()));
    EXPECT_EQ(SavedBytes(loaded.get()), good);

    const auto with_count = [](uint32_t n, const std::string& rest) {
        return std::string(reinterpret_cast<const char*>(&n), 4) + rest;
    };
    const std::string cases[] = {
        good.substr(0, 3), with_count(0xFFFFFFFFu, ""),
        with_count(static_cast<uint32_t>(good.size() - 10), good.substr(4))};
    const std::string before = SavedBytes(b2.get());
    for (const auto& bytes : cases) {
        SCOPED_TRACE(bytes.size());
        const HRESULT hr = pb2->Load(StreamOf(bytes).get());
        EXPECT_EQ(hr, static_cast<HRESULT>(tq::hr::kInvalidData));
        EXPECT_FALSE(TakeErrorText().empty());
        EXPECT_EQ(SavedBytes(b2.get()), before);
    }
}

TEST_F(BibCom, IsDirtyAnswersWhetherTheTreeChangedSinceItWasClean) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    ComPtr<IPersistStreamInit> p;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_IPersistStreamInit, &p));
    ComPtr<IStream> s = StreamOf("");
    ComPtr<MenuItem> item;
    const struct {
        std::function<void()> step;
        HRESULT dirty;
    } steps[] = {
        {[&] { p->InitNew(); }, S_FALSE},
        {[&] { item = AddEntry(tree.get(), L"A", L"A"); }, S_OK},
        {[&] { p->Save(s.get(), FALSE); }, S_OK},
        {[&] { p->Save(s.get(), TRUE); }, S_FALSE},
        {[&] { item->put_Habilitado(VARIANT_TRUE); }, S_FALSE},  // the value it had
        {[&] { item->put_Habilitado(VARIANT_FALSE); }, S_OK},
        {[&] { p->Load(StreamOf(SavedBytes(tree.get())).get()); }, S_FALSE},
        {[&] { AddEntry(SubOf(ItemAt(tree.get(), 1).get()).get(), L"B", L"B"); }, S_OK},
        {[&] { p->Save(s.get(), TRUE); }, S_FALSE},
        {[&] { ItemAt(tree.get(), 1)->put_HndMenu(1000); }, S_FALSE},  // not stored
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].step();
        EXPECT_EQ(p->IsDirty(), steps[i].dirty) << "after step " << i;
    }
}

TEST_F(BibCom, PropertyBagHoldsTheStreamAsBase64AndBadBagsChangeNothing) {
    ComPtr<MenuTree> tree = SampleTree(), copy = NewTree();
    ComPtr<IPersistPropertyBag> ppb, copy_ppb;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_IPersistPropertyBag, &ppb));
    ASSERT_HRESULT_SUCCEEDED(copy.As(IID_IPersistPropertyBag, &copy_ppb));
    ComPtr<TestBag> bag = TestBag::Make();
    ASSERT_HRESULT_SUCCEEDED(ppb->Save(bag.get(), TRUE, FALSE));
    ASSERT_EQ(bag->values.size(), 2u);
    EXPECT_EQ(V_VT(&bag->values[L"Versao"]), VT_I4);
    EXPECT_EQ(V_I4(&bag->values[L"Versao"]), 1);
    ASSERT_EQ(V_VT(&bag->values[L"Dados"]), VT_BSTR);
    const BSTR text = V_BSTR(&bag->values[L"Dados"]);
    const std::vector<uint8_t> decoded = tq::bib::DecodeBase64(
        tq::StringView(reinterpret_cast<const char16_t*>(text), SysStringLen(text)));
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), SavedBytes(tree.get()).substr(4));
    ASSERT_HRESULT_SUCCEEDED(copy_ppb->Load(bag.get(), nullptr));
    const std::string loaded = SavedBytes(copy.get());
    EXPECT_EQ(loaded, SavedBytes(tree.get()));

    const struct {
        const wchar_t* name;
        Variant value;
        HRESULT hr;
    } cases[] = {
        {L"Dados", Variant::FromString(L"não é base64!"), tq::hr::kInvalidData},
        {L"Dados", Variant::FromString(L"AAECAwQFBgc="), tq::hr::kInvalidData},
        {L"Versao", Variant::FromLong(2), tq::hr::kOldFormat},
        {L"Versao", Variant::FromString(L"um"), DISP_E_TYPEMISMATCH},
    };
    for (const auto& c : cases) {
        ComPtr<TestBag> damaged = TestBag::Make();
        damaged->values = bag->values;
        damaged->values[c.name] = c.value;
        EXPECT_EQ(copy_ppb->Load(damaged.get(), nullptr), c.hr);
        EXPECT_FALSE(TakeErrorText().empty());
        EXPECT_EQ(SavedBytes(copy.get()), loaded);
    }
    ASSERT_HRESULT_SUCCEEDED(copy_ppb->Load(TestBag::Make().get(), nullptr));
    EXPECT_EQ(CountOf(copy.get()), 0) << "an empty bag holds an empty tree";
}

}  // namespace
}  // namespace tq::test
