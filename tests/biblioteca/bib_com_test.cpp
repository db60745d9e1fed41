// tqBiblioteca.dll through the registry: COM rules, VARIANT conversions, enumeration and
// persistence; the tree's own rules and saved layout are the portable core's tests.
#include <cstring>

#include "com_test.h"
#include "tq/bib/persist.h"
#include "tq/com/handle.h"
#include "tq/error.h"
#include "win_test.h"

namespace tq::test {
namespace {

using BibCom = ComTest;

// Two levels, a stored property off its default, and a HndMenu, which is not stored.
ComPtr<MenuTree> SampleTree() {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> a = AddEntry(tree.get(), L"&Ação", L"A");
    a->put_Descricao(Bstr(L"Descrição").get()), a->put_Habilitado(0), a->put_HndMenu(77);
    AddEntry(SubOf(a.get()).get(), L"&Sub", L"SUB"), AddEntry(tree.get(), L"B", L"B");
    return tree;
}

ULONG RefsOf(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

TEST_F(BibCom, ObjectsFollowTheComRulesAndTheDllUnloadsOnlyWhenAllAreGone) {
    tq::com::UniqueLibrary lib(LoadLibraryW(WinPath(TQ_BIB_DLL).c_str()));
    auto get_class =
        ProcOf<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(lib.get(), "DllGetClassObject");
    auto can_unload = ProcOf<HRESULT(STDAPICALLTYPE*)()>(lib.get(), "DllCanUnloadNow");
    ASSERT_TRUE(get_class && can_unload);
    EXPECT_EQ(can_unload(), S_OK);
    ComPtr<IClassFactory> factory;
    ComPtr<IUnknown> none;
    ComPtr<MenuTree> own;
    ASSERT_HRESULT_SUCCEEDED(get_class(CLSID_MenuTreeClass, IID_IClassFactory, factory.put_void()));
    EXPECT_EQ(can_unload(), S_FALSE);
    EXPECT_EQ(factory->CreateInstance(factory.get(), IID_IUnknown, none.put_void()),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, none.put_void()), E_NOINTERFACE);
    ASSERT_HRESULT_SUCCEEDED(factory->CreateInstance(nullptr, IID_MenuTree, own.put_void()));
    ASSERT_HRESULT_SUCCEEDED(factory->LockServer(TRUE));
    factory = nullptr;
    ComPtr<MenuItem> deep =
        AddEntry(SubOf(AddEntry(own.get(), L"B", L"B").get()).get(), L"C", L"C");
    ComPtr<ITypeInfo> ti;
    ASSERT_HRESULT_SUCCEEDED(own->GetTypeInfo(0, 0, ti.put()));
    own = nullptr, ti = nullptr;
    EXPECT_EQ(can_unload(), S_FALSE) << "an entry keeps it";
    deep = nullptr;
    EXPECT_EQ(can_unload(), S_FALSE) << "the server lock keeps it";
    ASSERT_HRESULT_SUCCEEDED(get_class(CLSID_MenuTreeClass, IID_IClassFactory, factory.put_void()));
    ASSERT_HRESULT_SUCCEEDED(factory->LockServer(FALSE));
    factory = nullptr;
    EXPECT_EQ(can_unload(), S_OK);

    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> item = AddEntry(tree.get(), L"A", L"A");
    ComPtr<MenuTree> sub = SubOf(item.get());
    item->put_HndMenu(77);
    // Which interfaces each object answers; every answer has the one identity.
    const IID* const all[] = {
        &IID_IDispatch,         &IID_MenuTree,           &IID_IPersist,
        &IID_IPersistStream,    &IID_IPersistStreamInit, &IID_IPersistPropertyBag,
        &IID_IProvideClassInfo, &IID_ISupportErrorInfo,  &IID_MenuItem,
        &IID_IOleObject,        &IID_IEnumVARIANT,       &IID_IProvideClassInfo2};
    const std::pair<IUnknown*, const char*> answers[] = {
        {tree.get(), "111111110000"}, {sub.get(), "111111110000"}, {item.get(), "100000011000"}};
    for (const auto& [object, flags] : answers) {
        for (size_t i = 0; i < std::size(all); ++i) {
            SCOPED_TRACE(::testing::Message() << flags << " #" << i);
            ComPtr<IUnknown> p;
            EXPECT_EQ(object->QueryInterface(*all[i], p.put_void()),
                      flags[i] == '1' ? S_OK : E_NOINTERFACE);
            EXPECT_EQ(IdentityOf(p.get()), p ? IdentityOf(object) : nullptr);
        }
    }
    // The class's type information, help strings with their accents intact.
    ComPtr<IProvideClassInfo> pci;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_IProvideClassInfo, &pci));
    ASSERT_HRESULT_SUCCEEDED(pci->GetClassInfo(ti.put()));
    pci = nullptr;
    TYPEATTR* attr = nullptr;
    ASSERT_HRESULT_SUCCEEDED(ti->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_MenuTreeClass));
    ti->ReleaseTypeAttr(attr);
    Bstr help;
    ASSERT_HRESULT_SUCCEEDED(tree->GetTypeInfo(0, 0, ti.put()));
    ASSERT_HRESULT_SUCCEEDED(ti->GetDocumentation(DISPID_VALUE, nullptr, help.put(), 0, 0));
    EXPECT_EQ(help.view(), L"Entrada pela posição (1..Count) ou pelo Nome");

    // One entry is one object however it is reached: position, name, handle, For Each.
    VARIANT_BOOL f = 0;
    ComPtr<MenuItem> by_name = ItemAt(tree.get(), Variant::FromString(L"A")), by_hnd;
    ASSERT_HRESULT_SUCCEEDED(tree->ItemPorHnd(Variant::FromLong(77), &f, &f, &f, by_hnd.put()));
    ComPtr<IEnumVARIANT> ev;
    ASSERT_HRESULT_SUCCEEDED(tree->get__NewEnum(none.put()));
    ASSERT_HRESULT_SUCCEEDED(none.As(IID_IEnumVARIANT, &ev));
    Variant v;
    ASSERT_EQ(ev->Next(1, &v, nullptr), S_OK);
    for (IUnknown* p : {static_cast<IUnknown*>(by_name.get()), static_cast<IUnknown*>(by_hnd.get()),
                        V_UNKNOWN(&v)})
        EXPECT_EQ(IdentityOf(p), IdentityOf(item.get()));
    by_name = nullptr;
    EXPECT_EQ(RefsOf(item.get()), 3u) << "ours, by_hnd's and the enumerated VARIANT's";
    EXPECT_EQ(RefsOf(tree.get()), 1u);
    tree = nullptr;  // what a client holds outlives the tree that held it
    EXPECT_EQ(NomeOf(item.get()), L"A");
    EXPECT_EQ(CountOf(sub.get()), 0);
}

Variant Of(VARTYPE vt, double number = 0) {
    Variant v;
    V_VT(&v) = VT_R8, V_R8(&v) = number;
    if (vt == VT_NULL || vt == VT_ERROR) V_VT(&v) = vt, V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    VariantChangeType(&v, &v, 0, vt);
    return v;
}

// The Nome of the entry a lookup answers, or "error <hr>: <text>".
std::wstring Outcome(HRESULT hr, MenuItem* item) {
    wchar_t code[16];
    swprintf(code, 16, L"%08lX", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? NomeOf(item) : L"error " + std::wstring(code) + L": " + TakeErrorText();
}

TEST_F(BibCom, ItemAndItemPorHndTakeAnyNumberAndExplainEverythingElse) {
    ComPtr<MenuTree> tree = NewTree();
    for (const wchar_t* n : {L"UM", L"DOIS", L"TRES", L"2"}) AddEntry(tree.get(), n, n);
    ItemAt(tree.get(), 2)->put_HndMenu(1002);
    AddEntry(SubOf(ItemAt(tree.get(), 3).get()).get(), L"S", L"SUB")->put_HndMenu(-1);
    LONG one = 1;
    Variant three = Variant::FromLong(3), by_ref, by_variant, nested, object;
    V_VT(&by_ref) = VT_I4 | VT_BYREF, V_I4REF(&by_ref) = &one;
    V_VT(&by_variant) = VT_VARIANT | VT_BYREF, V_VARIANTREF(&by_variant) = &three;
    V_VT(&nested) = VT_VARIANT | VT_BYREF, V_VARIANTREF(&nested) = &by_ref;
    object = Variant::FromDispatch(tree.get());
    const std::wstring type = L"error 80020005: Tipo de índice inválido: ",
                       use = L" (use a posição 1..Count ou o Nome)",
                       range = L"error 8002000B: Índice fora do intervalo: ";
    const struct {
        bool by_hnd;
        Variant index;
        std::wstring expected;
    } cases[] = {
        {false, Of(VT_I2, 2), L"DOIS"},
        {false, Of(VT_UI1, 3), L"TRES"},
        {false, Of(VT_I8, 1), L"UM"},
        {false, Of(VT_R8, 2), L"DOIS"},
        {false, Of(VT_R4, 3), L"TRES"},
        {false, Of(VT_CY, 2), L"DOIS"},
        {false, Of(VT_DECIMAL, 3), L"TRES"},
        {false, by_ref, L"UM"},
        {false, by_variant, L"TRES"},
        {false, Variant::FromString(L"2"), L"2"},  // a string is a name, even one like a number
        {false, Variant::FromString(L"um"), L"error 8002000B: Nome não encontrado: \"um\""},
        {false, Of(VT_I4, 0), range + L"0 (Count = 4)"},
        {false, Of(VT_I4, -1), range + L"-1 (Count = 4)"},
        {false, Of(VT_I4, 5), range + L"5 (Count = 4)"},
        {false, Of(VT_R8, 1.5), L"error 8002000B: Índice não inteiro: 1.5"},
        {false, Of(VT_R8, 5e30), range + L"5e+30 (Count = 4)"},
        {false, Of(VT_EMPTY), type + L"Empty" + use},
        {false, Of(VT_NULL), type + L"Null" + use},
        {false, Variant::FromBool(true), type + L"Boolean" + use},
        {false, Of(VT_DATE, 2), type + L"Date" + use},
        {false, Of(VT_ERROR), type + L"Error" + use},
        {false, object, type + L"Object" + use},
        {false, nested, L"error 80020005: Tipo de Variant inválido: referência a outra referência"},
        {true, Of(VT_I2, 1002), L"DOIS"},
        {true, Of(VT_R8, 1002), L"DOIS"},
        {true, Of(VT_UI4, 4294967295.0), L"SUB"},     // an unsigned handle is its signed twin
        {true, Of(VT_I8, 4294968298.0), L"Nothing"},  // 1002 + 2^32: no 32-bit handle
        {true, Of(VT_R8, 0.5), L"Nothing"},
        {true, Of(VT_I4, 0), L"Nothing"},
        {true, Of(VT_EMPTY), L"Nothing"},
        {true, Of(VT_NULL), L"Nothing"},
        {true, Variant::FromString(L"1002"),
         L"error 80020005: Tipo de Id inválido: VarType 8 (esperado um Long)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.by_hnd << " vt " << V_VT(&c.index));
        VARIANT_BOOL a = VARIANT_TRUE;
        ComPtr<MenuItem> item;
        const HRESULT hr = c.by_hnd ? tree->ItemPorHnd(c.index, &a, &a, &a, item.put())
                                    : tree->get_Item(c.index, item.put());
        EXPECT_EQ(Outcome(hr, item.get()), c.expected);
        EXPECT_EQ(a, VARIANT_TRUE) << "the flags are left alone";
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

TEST_F(BibCom, ForEachWalksTheLiveLevel) {
    ComPtr<MenuTree> tree = NewTree();
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
    AddEntry(b.get(), L"Só um", L"UM");
    ComPtr<IPersistStreamInit> pa, pb2;
    ASSERT_HRESULT_SUCCEEDED(a.As(IID_IPersistStreamInit, &pa));
    ASSERT_HRESULT_SUCCEEDED(b2.As(IID_IPersistStreamInit, &pb2));
    ULARGE_INTEGER max{};
    ASSERT_HRESULT_SUCCEEDED(pa->GetSizeMax(&max));
    const std::string good = SavedBytes(a.get()), marker = "\x11\xEE\xFF\xC0";
    EXPECT_EQ(max.QuadPart, good.size()) << "GetSizeMax is exact";
    uint32_t count = 0;
    std::memcpy(&count, good.data(), 4);
    EXPECT_EQ(count, good.size() - 4) << "a byte count, then the tree";
    // Two trees and markers in one stream: each load reads its own bytes only.
    ComPtr<IStream> shared = StreamOf(good + marker + SavedBytes(b.get()) + marker);
    for (MenuTree* t : {a2.get(), b2.get()}) {
        ComPtr<IPersistStreamInit> p;
        ASSERT_HRESULT_SUCCEEDED(ComPtr<MenuTree>(t).As(IID_IPersistStreamInit, &p));
        ASSERT_HRESULT_SUCCEEDED(p->Load(shared.get())) << TakeErrorText();
        char got[4] = {};
        ASSERT_HRESULT_SUCCEEDED(shared->Read(got, 4, nullptr));
        EXPECT_EQ(std::string(got, 4), marker);
    }
    EXPECT_EQ(SavedBytes(a2.get()), good);
    EXPECT_EQ(SavedBytes(b2.get()), SavedBytes(b.get()));
    EXPECT_EQ(HndOf(ItemAt(a2.get(), 1).get()), 0) << "HndMenu is run-time state";

    // OLE's own helpers make a new object of the class from the stream.
    ComPtr<IPersistStream> ps;
    ASSERT_HRESULT_SUCCEEDED(a.As(IID_IPersistStream, &ps));
    ComPtr<IStream> ole = StreamOf("");
    ASSERT_HRESULT_SUCCEEDED(OleSaveToStream(ps.get(), ole.get()));
    ole->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    ComPtr<MenuTree> loaded;
    ASSERT_HRESULT_SUCCEEDED(OleLoadFromStream(ole.get(), IID_MenuTree, loaded.put_void()));
    EXPECT_EQ(SavedBytes(loaded.get()), good);

    const uint32_t huge = 0xFFFFFFFFu, short_by_6 = static_cast<uint32_t>(good.size() - 10);
    const std::string before = SavedBytes(b2.get());
    for (const std::string& bytes :
         {good.substr(0, 3), std::string(reinterpret_cast<const char*>(&huge), 4),
          std::string(reinterpret_cast<const char*>(&short_by_6), 4) + good.substr(4)}) {
        SCOPED_TRACE(bytes.size());
        EXPECT_EQ(pb2->Load(StreamOf(bytes).get()), static_cast<HRESULT>(tq::hr::kInvalidData));
        EXPECT_FALSE(TakeErrorText().empty());
        EXPECT_EQ(SavedBytes(b2.get()), before);
    }
}

TEST_F(BibCom, IsDirtyAnswersWhetherTheTreeChangedSinceItWasClean) {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<IPersistStreamInit> p;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_IPersistStreamInit, &p));
    ComPtr<IStream> s = StreamOf("");
    ComPtr<MenuItem> item;
    const std::pair<std::function<void()>, HRESULT> steps[] = {
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
        steps[i].first();
        EXPECT_EQ(p->IsDirty(), steps[i].second) << "after step " << i;
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

    const std::tuple<const wchar_t*, Variant, HRESULT> cases[] = {
        {L"Dados", Variant::FromString(L"não é base64!"), tq::hr::kInvalidData},
        {L"Dados", Variant::FromString(L"AAECAwQFBgc="), tq::hr::kInvalidData},
        {L"Versao", Variant::FromLong(2), tq::hr::kOldFormat},
        {L"Versao", Variant::FromString(L"um"), DISP_E_TYPEMISMATCH},
    };
    for (const auto& [name, value, hr] : cases) {
        ComPtr<TestBag> damaged = TestBag::Make();
        damaged->values = bag->values;
        damaged->values[name] = value;
        EXPECT_EQ(copy_ppb->Load(damaged.get(), nullptr), hr);
        EXPECT_FALSE(TakeErrorText().empty());
        EXPECT_EQ(SavedBytes(copy.get()), loaded);
    }
    ASSERT_HRESULT_SUCCEEDED(copy_ppb->Load(TestBag::Make().get(), nullptr));
    EXPECT_EQ(CountOf(copy.get()), 0) << "an empty bag holds an empty tree";
}

}  // namespace
}  // namespace tq::test
