// tqBiblioteca.dll through the registry: COM rules, VARIANT conversions and persistence; the
// tree's own rules and saved layout are the portable core's tests, For Each the script's.
#include "com_test.h"
#include "tq/bib/persist.h"
#include "tq/com/handle.h"
#include "tq/error.h"
#include "win_test.h"

namespace tq::test {
namespace {

using BibCom = ComTest;

TEST_F(BibCom, ObjectsAnswerTheirInterfacesWithOneIdentityAndOutliveTheirTree) {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> item = AddEntry(tree.get(), L"A", L"A");
    ComPtr<MenuTree> sub = SubOf(item.get());
    ComPtr<IUnknown> none;
    EXPECT_EQ(CoCreateInstance(CLSID_MenuTreeClass, tree.get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                               none.put_void()),
              CLASS_E_NOAGGREGATION);
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
    tree = nullptr;
    EXPECT_EQ(NomeOf(item.get()) + std::to_wstring(CountOf(sub.get())), L"A0");
}

// Through the DLL's own exports: a factory, an object (an entry too) or a lock keeps it loaded.
TEST_F(BibCom, TheDllCanUnloadOnlyWhenNoFactoryObjectOrLockIsLeft) {
    tq::com::UniqueLibrary lib(LoadLibraryW(WinPath(TQ_BIB_DLL).c_str()));
    auto get_class =
        ProcOf<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(lib.get(), "DllGetClassObject");
    auto can_unload = ProcOf<HRESULT(STDAPICALLTYPE*)()>(lib.get(), "DllCanUnloadNow");
    ASSERT_TRUE(get_class && can_unload);
    EXPECT_EQ(can_unload(), S_OK);
    ComPtr<IClassFactory> factory;
    ComPtr<MenuTree> tree;
    ASSERT_HRESULT_SUCCEEDED(get_class(CLSID_MenuTreeClass, IID_IClassFactory, factory.put_void()));
    ASSERT_HRESULT_SUCCEEDED(factory->CreateInstance(nullptr, IID_MenuTree, tree.put_void()));
    ASSERT_HRESULT_SUCCEEDED(factory->LockServer(TRUE));
    factory = nullptr;
    ComPtr<MenuItem> item = AddEntry(tree.get(), L"A", L"A");
    tree = nullptr;
    EXPECT_EQ(can_unload(), S_FALSE) << "the entry";
    item = nullptr;
    EXPECT_EQ(can_unload(), S_FALSE) << "the lock";
    ASSERT_HRESULT_SUCCEEDED(get_class(CLSID_MenuTreeClass, IID_IClassFactory, factory.put_void()));
    ASSERT_HRESULT_SUCCEEDED(factory->LockServer(FALSE));
    factory = nullptr;
    EXPECT_EQ(can_unload(), S_OK);
}

Variant Of(VARTYPE vt, double number = 0) {
    Variant v;
    V_VT(&v) = VT_R8, V_R8(&v) = number;
    if (vt == VT_NULL) V_VT(&v) = vt;
    VariantChangeType(&v, &v, 0, vt);
    return v;
}

TEST_F(BibCom, ItemAndItemPorHndTakeAnyNumberAndExplainEverythingElse) {
    ComPtr<MenuTree> tree = NewTree();
    for (const wchar_t* n : {L"UM", L"DOIS", L"TRES", L"2"}) AddEntry(tree.get(), n, n);
    ItemAt(tree.get(), 2)->put_HndMenu(1002);
    AddEntry(SubOf(ItemAt(tree.get(), 3).get()).get(), L"S", L"SUB")->put_HndMenu(-1);
    LONG one = 1;
    Variant three = Variant::FromLong(3), by_ref, by_variant, nested;
    V_VT(&by_ref) = VT_I4 | VT_BYREF, V_I4REF(&by_ref) = &one;
    V_VT(&by_variant) = VT_VARIANT | VT_BYREF, V_VARIANTREF(&by_variant) = &three;
    V_VT(&nested) = VT_VARIANT | VT_BYREF, V_VARIANTREF(&nested) = &by_ref;
    const std::wstring type = L"80020005: Tipo de índice inválido: ",
                       use = L" (use a posição 1..Count ou o Nome)",
                       range = L"8002000B: Índice fora do intervalo: ";
    struct {
        bool by_hnd;
        Variant index;
        std::wstring expected;  // the entry's Nome, or "<HRESULT>: <error text>"
    } cases[] = {
        {false, Of(VT_I2, 2), L"DOIS"},
        {false, Of(VT_I8, 1), L"UM"},
        {false, Of(VT_R4, 3), L"TRES"},
        {false, Of(VT_CY, 2), L"DOIS"},
        {false, Of(VT_DECIMAL, 3), L"TRES"},
        {false, by_ref, L"UM"},
        {false, by_variant, L"TRES"},
        {false, Variant::FromString(L"2"), L"2"},  // a string is a name, even one like a number
        {false, Variant::FromString(L"um"), L"8002000B: Nome não encontrado: \"um\""},
        {false, Of(VT_I4, 0), range + L"0 (Count = 4)"},
        {false, Of(VT_I4, 5), range + L"5 (Count = 4)"},
        {false, Of(VT_R8, 1.5), L"8002000B: Índice não inteiro: 1.5"},
        {false, Of(VT_R8, 5e30), range + L"5e+30 (Count = 4)"},
        {false, Of(VT_EMPTY), type + L"Empty" + use},
        {false, Of(VT_NULL), type + L"Null" + use},
        {false, Variant::FromBool(true), type + L"Boolean" + use},
        {false, Variant::FromDispatch(tree.get()), type + L"Object" + use},
        {false, nested, L"80020005: Tipo de Variant inválido: referência a outra referência"},
        {true, Of(VT_R8, 1002), L"DOIS"},
        {true, Of(VT_UI4, 4294967295.0), L"SUB"},     // an unsigned handle is its signed twin
        {true, Of(VT_I8, 4294968298.0), L"Nothing"},  // 1002 + 2^32: no 32-bit handle
        {true, Of(VT_R8, 0.5), L"Nothing"},
        {true, Of(VT_I4, 0), L"Nothing"},
        {true, Of(VT_EMPTY), L"Nothing"},
        {true, Of(VT_NULL), L"Nothing"},
        {true, Variant::FromString(L"1002"),
         L"80020005: Tipo de Id inválido: VarType 8 (esperado um Long)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.by_hnd << " vt " << V_VT(&c.index));
        VARIANT_BOOL a = VARIANT_TRUE;
        ComPtr<MenuItem> item;
        const HRESULT hr = c.by_hnd ? tree->ItemPorHnd(c.index, &a, &a, &a, item.put())
                                    : tree->get_Item(c.index, item.put());
        wchar_t code[16];
        swprintf(code, 16, L"%08lX: ", static_cast<unsigned long>(hr));
        EXPECT_EQ(SUCCEEDED(hr) ? NomeOf(item.get()) : code + TakeErrorText(), c.expected);
        EXPECT_EQ(a, VARIANT_TRUE) << "the flags are left alone";
    }
    ComPtr<ISupportErrorInfo> sei;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_ISupportErrorInfo, &sei));
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_MenuTree), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IOleObject), S_FALSE);
    // Count is a 16-bit Integer: a level stops at 32767 entries instead of wrapping around.
    Bstr x(std::wstring_view(L"x"));
    BSTR c = x.get(), n = c;
    short result = 0;
    while (CountOf(tree.get()) < 32767) ASSERT_HRESULT_SUCCEEDED(tree->Add(&c, &n, &result));
    EXPECT_EQ(tree->Add(&c, &n, &result), static_cast<HRESULT>(tq::hr::kOverflow));
    EXPECT_EQ(TakeErrorText(), L"Estouro: um nível não pode ter mais de 32767 entradas");
    EXPECT_EQ(CountOf(tree.get()), 32767);
}

TEST_F(BibCom, StreamsAndBagsHoldExactlyTheTreeDamagedOnesChangeNothingAndIsDirtyFollows) {
    ComPtr<MenuTree> a = NewTree(), b2 = NewTree();
    ComPtr<MenuItem> entry = AddEntry(a.get(), L"&Ação", L"A");
    entry->put_Descricao(Bstr(L"Descrição").get()), entry->put_HndMenu(77);
    AddEntry(SubOf(entry.get()).get(), L"&Sub", L"SUB");
    ComPtr<IPersistStreamInit> pa, pb2;
    ASSERT_HRESULT_SUCCEEDED(a.As(IID_IPersistStreamInit, &pa));
    ASSERT_HRESULT_SUCCEEDED(b2.As(IID_IPersistStreamInit, &pb2));
    ULARGE_INTEGER max{};
    ASSERT_HRESULT_SUCCEEDED(pa->GetSizeMax(&max));
    const std::string good = SavedBytes(a.get()), marker = "\x11\xEE\xFF\xC0";
    EXPECT_EQ(max.QuadPart, good.size()) << "GetSizeMax is exact";
    EXPECT_EQ(*reinterpret_cast<const uint32_t*>(good.data()), good.size() - 4) << "a byte count";
    ComPtr<IStream> shared = StreamOf(good + marker);  // a load reads its own bytes only
    ASSERT_HRESULT_SUCCEEDED(pb2->Load(shared.get())) << TakeErrorText();
    char got[4] = {};
    ASSERT_HRESULT_SUCCEEDED(shared->Read(got, 4, nullptr));
    EXPECT_EQ(std::string(got, 4), marker);
    EXPECT_EQ(SavedBytes(b2.get()), good);
    EXPECT_EQ(HndOf(ItemAt(b2.get(), 1).get()), 0) << "HndMenu is run-time state";
    const uint32_t huge = 0xFFFFFFFFu, short_by_6 = static_cast<uint32_t>(good.size() - 10);
    const std::string damaged[] = {
        good.substr(0, 3), std::string(reinterpret_cast<const char*>(&huge), 4),
        std::string(reinterpret_cast<const char*>(&short_by_6), 4) + good.substr(4)};
    for (const std::string& bytes : damaged) {
        EXPECT_EQ(pb2->Load(StreamOf(bytes).get()), static_cast<HRESULT>(tq::hr::kInvalidData));
        EXPECT_FALSE(TakeErrorText().empty());
        EXPECT_EQ(SavedBytes(b2.get()), good);
    }
    ComPtr<IPersistPropertyBag> ppb, bag_b2;
    ASSERT_HRESULT_SUCCEEDED(a.As(IID_IPersistPropertyBag, &ppb));
    ASSERT_HRESULT_SUCCEEDED(b2.As(IID_IPersistPropertyBag, &bag_b2));
    ComPtr<TestBag> bag = TestBag::Make();
    ASSERT_HRESULT_SUCCEEDED(ppb->Save(bag.get(), TRUE, FALSE));
    ASSERT_EQ(bag->values.size(), 2u);
    EXPECT_EQ(V_I4(&bag->values[L"Versao"]), 1);
    const BSTR text = V_BSTR(&bag->values[L"Dados"]);
    const std::vector<uint8_t> decoded = tq::bib::DecodeBase64(
        tq::StringView(reinterpret_cast<const char16_t*>(text), SysStringLen(text)));
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), good.substr(4));
    ASSERT_HRESULT_SUCCEEDED(bag_b2->Load(TestBag::Make().get(), nullptr));
    EXPECT_EQ(CountOf(b2.get()), 0) << "an empty bag holds an empty tree";
    ASSERT_HRESULT_SUCCEEDED(bag_b2->Load(bag.get(), nullptr));
    EXPECT_EQ(SavedBytes(b2.get()), good);
    const std::tuple<const wchar_t*, Variant, HRESULT> bad[] = {
        {L"Dados", Variant::FromString(L"não é base64!"), tq::hr::kInvalidData},
        {L"Dados", Variant::FromString(L"AAECAwQFBgc="), tq::hr::kInvalidData},
        {L"Versao", Variant::FromLong(2), tq::hr::kOldFormat},
        {L"Versao", Variant::FromString(L"um"), DISP_E_TYPEMISMATCH},
    };
    for (const auto& [name, value, hr] : bad) {
        ComPtr<TestBag> damaged_bag = TestBag::Make();
        damaged_bag->values = bag->values;
        damaged_bag->values[name] = value;
        EXPECT_EQ(bag_b2->Load(damaged_bag.get(), nullptr), hr);
        EXPECT_FALSE(TakeErrorText().empty());
        EXPECT_EQ(SavedBytes(b2.get()), good);
    }
    ComPtr<IStream> s = StreamOf("");  // IsDirty: whether the tree changed since it was clean
    const std::pair<std::function<void()>, HRESULT> steps[] = {
        {[&] { entry = AddEntry(b2.get(), L"A", L"A"); }, S_OK},
        {[&] { pb2->Save(s.get(), FALSE); }, S_OK},
        {[&] { pb2->Save(s.get(), TRUE); }, S_FALSE},
        {[&] { entry->put_Habilitado(VARIANT_TRUE); }, S_FALSE},  // the value it had
        {[&] { entry->put_Habilitado(VARIANT_FALSE); }, S_OK},
        {[&] { pb2->InitNew(); }, S_FALSE},
        {[&] { pb2->Load(StreamOf(good).get()); }, S_FALSE},
        {[&] { AddEntry(SubOf(ItemAt(b2.get(), 1).get()).get(), L"B", L"B"); }, S_OK},
        {[&] { bag_b2->Load(bag.get(), nullptr); }, S_FALSE},
        {[&] { ItemAt(b2.get(), 1)->put_HndMenu(1000); }, S_FALSE},  // not stored
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].first();
        EXPECT_EQ(pb2->IsDirty(), steps[i].second) << "after step " << i;
    }
}

}  // namespace
}  // namespace tq::test
