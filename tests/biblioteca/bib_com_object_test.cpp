// tqBiblioteca under Wine: creation through the registry, the COM identity rules, reference
// counts and DllCanUnloadNow.
#include <span>
#include <vector>

#include "bib_com_util.h"
#include "tq/com/handle.h"

namespace bibtest {
namespace {

class BibObject : public ComTest {};

TEST_F(BibObject, CreatedByBothProgIdsThroughTheRegistry) {
    CLSID clsid{}, clsid1{};
    ASSERT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid));
    ASSERT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"tqBiblioteca.MenuTree.1", &clsid1));
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_MenuTreeClass));
    EXPECT_TRUE(IsEqualCLSID(clsid1, CLSID_MenuTreeClass));
    LPOLESTR progid = nullptr;
    ASSERT_HRESULT_SUCCEEDED(ProgIDFromCLSID(CLSID_MenuTreeClass, &progid));
    EXPECT_STREQ(progid, L"tqBiblioteca.MenuTree.1");
    CoTaskMemFree(progid);

    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    EXPECT_EQ(CountOf(tree.get()), 0);
    // Creatable straight into any of its interfaces.
    ComPtr<IPersistStreamInit> persist;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_MenuTreeClass, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IPersistStreamInit, persist.put_void()));
    ComPtr<IOleObject> none;
    EXPECT_EQ(CoCreateInstance(CLSID_MenuTreeClass, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                               none.put_void()),
              E_NOINTERFACE);
    // No aggregation.
    ComPtr<IUnknown> inner;
    EXPECT_EQ(CoCreateInstance(CLSID_MenuTreeClass, tree.get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                               inner.put_void()),
              CLASS_E_NOAGGREGATION);
}

TEST_F(BibObject, NewEntryDefaultsAndAddResult) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    EXPECT_EQ(AddEntry(tree.get(), L"&Arquivo", L"ARQ"), 1);
    EXPECT_EQ(AddEntry(tree.get(), L"&Editar", L"EDT"), 2);  // Add answers the new Count
    ComPtr<MenuItem> item = ItemAt(tree.get(), 1);
    ASSERT_TRUE(item);
    Bstr s;
    VARIANT_BOOL b = 0;
    LONG hnd = -1;
    EXPECT_HRESULT_SUCCEEDED(item->get_Nome(s.put()));
    EXPECT_EQ(s.view(), L"ARQ");
    EXPECT_HRESULT_SUCCEEDED(item->get_Caption(s.put()));
    EXPECT_EQ(s.view(), L"&Arquivo");
    EXPECT_HRESULT_SUCCEEDED(item->get_TextoMenu(s.put()));
    EXPECT_EQ(s.view(), L"&Arquivo");  // TextoMenu reads as Caption until put
    EXPECT_HRESULT_SUCCEEDED(item->get_Descricao(s.put()));
    EXPECT_EQ(s.view(), L"");
    EXPECT_HRESULT_SUCCEEDED(item->get_TeclaExtenso(s.put()));
    EXPECT_EQ(s.view(), L"");
    EXPECT_HRESULT_SUCCEEDED(item->get_HndMenu(&hnd));
    EXPECT_EQ(hnd, 0);
    // Booleans are VARIANT_BOOL: True is -1, whatever nonzero value was put.
    EXPECT_HRESULT_SUCCEEDED(item->get_MenuConsulta(&b));
    EXPECT_EQ(b, VARIANT_FALSE);
    for (auto get : {&MenuItem::get_Visivel, &MenuItem::get_VisivelDefault,
                     &MenuItem::get_Habilitado, &MenuItem::get_HabilitadoDefault}) {
        b = 0;
        EXPECT_HRESULT_SUCCEEDED((item.get()->*get)(&b));
        EXPECT_EQ(b, VARIANT_TRUE);
    }
    EXPECT_HRESULT_SUCCEEDED(item->put_MenuConsulta(1));
    EXPECT_HRESULT_SUCCEEDED(item->get_MenuConsulta(&b));
    EXPECT_EQ(b, VARIANT_TRUE);

    // Once put, TextoMenu no longer follows Caption.
    EXPECT_HRESULT_SUCCEEDED(item->put_TextoMenu(Bstr(L"Arquivo\tAlt+A").get()));
    EXPECT_HRESULT_SUCCEEDED(item->put_Caption(Bstr(L"Outro").get()));
    EXPECT_HRESULT_SUCCEEDED(item->get_TextoMenu(s.put()));
    EXPECT_EQ(s.view(), L"Arquivo\tAlt+A");

    // A leaf's SubMenu is an empty level, never Nothing.
    ComPtr<MenuTree> sub = SubOf(item.get());
    ASSERT_TRUE(sub);
    EXPECT_EQ(CountOf(sub.get()), 0);
}

// Every interface a MenuTree answers, and some it must not.
const IID* const kTreeIids[] = {&IID_IUnknown,
                                &IID_IDispatch,
                                &IID_MenuTree,
                                &IID_IPersist,
                                &IID_IPersistStream,
                                &IID_IPersistStreamInit,
                                &IID_IPersistPropertyBag,
                                &IID_ISupportErrorInfo,
                                &IID_IProvideClassInfo};
const IID* const kItemIids[] = {&IID_IUnknown, &IID_IDispatch, &IID_MenuItem,
                                &IID_ISupportErrorInfo};
const IID* const kForeignIids[] = {&IID_IOleObject,
                                   &IID_IEnumVARIANT,
                                   &IID_IPersistStorage,
                                   &IID_IProvideClassInfo2,
                                   &IID_IConnectionPointContainer,
                                   &IID_MenuItem,
                                   &IID_MenuTree};

bool Supported(const IID* iid, std::span<const IID* const> list) {
    for (const IID* p : list)
        if (IsEqualIID(*p, *iid)) return true;
    return false;
}

// Reflexive, symmetric and transitive QueryInterface with one IUnknown; unsupported interfaces
// answer E_NOINTERFACE and a null pointer.
void CheckIdentityRules(IUnknown* object, std::span<const IID* const> supported) {
    ComPtr<IUnknown> identity = IdentityOf(object);
    std::vector<ComPtr<IUnknown>> via;
    for (const IID* iid : supported) {
        ComPtr<IUnknown> p;
        ASSERT_EQ(object->QueryInterface(*iid, p.put_void()), S_OK);
        ASSERT_TRUE(p);
        via.push_back(p);
        EXPECT_EQ(IdentityOf(p.get()), identity) << "IUnknown differs";
        // Reflexive.
        ComPtr<IUnknown> again;
        EXPECT_EQ(p->QueryInterface(*iid, again.put_void()), S_OK);
        EXPECT_EQ(again.get(), p.get()) << "the same interface twice gives one pointer";
    }
    // Symmetric and transitive: from every interface every other one is reachable.
    for (const auto& from : via)
        for (const IID* iid : supported) {
            ComPtr<IUnknown> to;
            EXPECT_EQ(from->QueryInterface(*iid, to.put_void()), S_OK);
            if (to) {
                EXPECT_EQ(IdentityOf(to.get()), identity);
            }
        }
    for (const IID* iid : kForeignIids) {
        if (Supported(iid, supported)) continue;
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(object->QueryInterface(*iid, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(BibObject, QueryInterfaceRulesForTreeAndItem) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    {
        SCOPED_TRACE("root MenuTree");
        CheckIdentityRules(tree.get(), kTreeIids);
    }
    AddEntry(tree.get(), L"A", L"A");
    ComPtr<MenuItem> item = ItemAt(tree.get(), 1);
    {
        SCOPED_TRACE("MenuItem");
        CheckIdentityRules(item.get(), kItemIids);
    }
    {
        SCOPED_TRACE("SubMenu");
        CheckIdentityRules(SubOf(item.get()).get(), kTreeIids);
    }
    // The persistence interfaces all report the class.
    for (const IID* iid :
         {&IID_IPersist, &IID_IPersistStream, &IID_IPersistStreamInit, &IID_IPersistPropertyBag}) {
        ComPtr<IPersist> p;
        ASSERT_HRESULT_SUCCEEDED(tree->QueryInterface(*iid, p.put_void()));
        CLSID clsid{};
        EXPECT_HRESULT_SUCCEEDED(p->GetClassID(&clsid));
        EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_MenuTreeClass));
    }
}

TEST_F(BibObject, OneEntryHasOneIdentityHoweverReached) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    AddEntry(tree.get(), L"&Arquivo", L"ARQ");
    AddEntry(tree.get(), L"&Editar", L"EDT");
    ComPtr<MenuTree> sub = SubOf(ItemAt(tree.get(), 1).get());
    AddEntry(sub.get(), L"&Novo", L"NOVO");
    ComPtr<MenuItem> novo = ItemAt(sub.get(), 1);
    ASSERT_HRESULT_SUCCEEDED(novo->put_HndMenu(1001));

    // By position, by name, through a second SubMenu path, by handle, and through For Each.
    EXPECT_EQ(IdentityOf(ItemAt(tree.get(), 1).get()),
              IdentityOf(ItemNamed(tree.get(), L"ARQ").get()));
    EXPECT_EQ(IdentityOf(SubOf(ItemNamed(tree.get(), L"ARQ").get()).get()), IdentityOf(sub.get()));
    ComPtr<MenuItem> by_path = ItemNamed(SubOf(ItemAt(tree.get(), 1).get()).get(), L"NOVO");
    EXPECT_EQ(IdentityOf(by_path.get()), IdentityOf(novo.get()));
    ComPtr<MenuItem> by_hnd;
    VARIANT_BOOL t = VARIANT_TRUE, f = VARIANT_FALSE, t2 = VARIANT_TRUE;
    ASSERT_HRESULT_SUCCEEDED(tree->ItemPorHnd(Variant::FromLong(1001), &t, &f, &t2, by_hnd.put()));
    EXPECT_EQ(IdentityOf(by_hnd.get()), IdentityOf(novo.get()));
    ComPtr<IUnknown> enum_unk;
    ASSERT_HRESULT_SUCCEEDED(sub->get__NewEnum(enum_unk.put()));
    ComPtr<IEnumVARIANT> e;
    ASSERT_HRESULT_SUCCEEDED(enum_unk.As(IID_IEnumVARIANT, &e));
    Variant v;
    ULONG got = 0;
    ASSERT_EQ(e->Next(1, &v, &got), S_OK);
    ASSERT_EQ(V_VT(&v), VT_DISPATCH);
    EXPECT_EQ(IdentityOf(V_DISPATCH(&v)), IdentityOf(novo.get()));
    // Two different entries are two objects.
    EXPECT_NE(IdentityOf(ItemAt(tree.get(), 2).get()), IdentityOf(ItemAt(tree.get(), 1).get()));

    // When every reference is gone the entry gets a new wrapper, with the same state.
    ASSERT_HRESULT_SUCCEEDED(novo->put_Descricao(Bstr(L"cria um arquivo").get()));
    v.Clear();
    novo = nullptr;
    by_path = nullptr;
    by_hnd = nullptr;
    e = nullptr;
    enum_unk = nullptr;
    Bstr text;
    ASSERT_HRESULT_SUCCEEDED(ItemAt(sub.get(), 1)->get_Descricao(text.put()));
    EXPECT_EQ(text.view(), L"cria um arquivo");
}

TEST_F(BibObject, EntriesAndLevelsOutliveTheTreeThatHeldThem) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    AddEntry(tree.get(), L"&Arquivo", L"ARQ");
    ComPtr<MenuItem> item = ItemAt(tree.get(), 1);
    ComPtr<MenuTree> sub = SubOf(item.get());
    AddEntry(sub.get(), L"&Sair", L"SAIR");
    tree = nullptr;  // the root goes; what a client still holds stays usable
    Bstr s;
    ASSERT_HRESULT_SUCCEEDED(item->get_Nome(s.put()));
    EXPECT_EQ(s.view(), L"ARQ");
    EXPECT_EQ(CountOf(sub.get()), 1);
    ASSERT_HRESULT_SUCCEEDED(ItemAt(sub.get(), 1)->get_Caption(s.put()));
    EXPECT_EQ(s.view(), L"&Sair");

    // After Clear an entry a client holds is detached: usable, but no longer found.
    ComPtr<MenuTree> other = NewTree();
    AddEntry(other.get(), L"X", L"X");
    ComPtr<MenuItem> x = ItemAt(other.get(), 1);
    ASSERT_HRESULT_SUCCEEDED(x->put_HndMenu(77));
    Variant cleared;
    V_VT(&cleared) = VT_I4;  // Clear must leave its result Empty
    ASSERT_HRESULT_SUCCEEDED(other->Clear(&cleared));
    EXPECT_EQ(V_VT(&cleared), VT_EMPTY);
    EXPECT_EQ(CountOf(other.get()), 0);
    ASSERT_HRESULT_SUCCEEDED(x->put_Caption(Bstr(L"ainda vivo").get()));
    ComPtr<MenuItem> found;
    VARIANT_BOOL f = 0;
    ASSERT_EQ(other->ItemPorHnd(Variant::FromLong(77), &f, &f, &f, found.put()), S_OK);
    EXPECT_FALSE(found);
}

// Refcounts through the DLL's own exports, without COM's class cache in between.
class BibExports : public ComTest {
  protected:
    void SetUp() override {
        ComTest::SetUp();
        lib_.reset(LoadLibraryW(DllPath().c_str()));
        ASSERT_TRUE(lib_) << "LoadLibrary failed: " << GetLastError();
        get_class_ = reinterpret_cast<decltype(get_class_)>(
            reinterpret_cast<void*>(GetProcAddress(lib_.get(), "DllGetClassObject")));
        can_unload_ = reinterpret_cast<decltype(can_unload_)>(
            reinterpret_cast<void*>(GetProcAddress(lib_.get(), "DllCanUnloadNow")));
        ASSERT_TRUE(get_class_ && can_unload_);
    }
    void TearDown() override {
        lib_.reset();
        ComTest::TearDown();
    }
    ComPtr<IClassFactory> Factory() {
        ComPtr<IClassFactory> f;
        EXPECT_HRESULT_SUCCEEDED(get_class_(CLSID_MenuTreeClass, IID_IClassFactory, f.put_void()));
        return f;
    }

    tq::com::UniqueLibrary lib_;
    HRESULT(STDAPICALLTYPE* get_class_)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* can_unload_)() = nullptr;
};

ULONG RefsOf(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

TEST_F(BibExports, DllCanUnloadNowOnlyAfterEveryObjectIsReleased) {
    EXPECT_EQ(can_unload_(), S_OK);
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(can_unload_(), S_FALSE) << "a live class object keeps the DLL";
    ComPtr<IUnknown> unknown_class;
    EXPECT_EQ(get_class_(GUID_NULL, IID_IClassFactory, unknown_class.put_void()),
              CLASS_E_CLASSNOTAVAILABLE);

    ComPtr<MenuTree> tree;
    ASSERT_HRESULT_SUCCEEDED(factory->CreateInstance(nullptr, IID_MenuTree, tree.put_void()));
    // The server lock keeps the DLL even without objects.
    ASSERT_HRESULT_SUCCEEDED(factory->LockServer(TRUE));
    factory = nullptr;
    EXPECT_EQ(can_unload_(), S_FALSE);

    // Everything a client can get hold of: entries, levels, enumerators, type information,
    // clones, and failed calls on the way.
    AddEntry(tree.get(), L"A", L"A");
    AddEntry(SubOf(ItemAt(tree.get(), 1).get()).get(), L"B", L"B");
    ComPtr<MenuItem> item = ItemAt(tree.get(), 1);
    ComPtr<MenuTree> sub = SubOf(item.get());
    ComPtr<IUnknown> en;
    ASSERT_HRESULT_SUCCEEDED(tree->get__NewEnum(en.put()));
    ComPtr<IEnumVARIANT> ev, clone;
    ASSERT_HRESULT_SUCCEEDED(en.As(IID_IEnumVARIANT, &ev));
    ASSERT_HRESULT_SUCCEEDED(ev->Clone(clone.put()));
    ComPtr<ITypeInfo> ti;
    ASSERT_HRESULT_SUCCEEDED(tree->GetTypeInfo(0, 0, ti.put()));
    ComPtr<MenuItem> none;
    EXPECT_HRESULT_FAILED(tree->get_Item(Variant::FromLong(9), none.put()));
    EXPECT_FALSE(none);
    Variant v;
    ULONG got = 0;
    ASSERT_EQ(clone->Next(1, &v, &got), S_OK);
    EXPECT_EQ(can_unload_(), S_FALSE);

    // Exact counts: one reference per pointer we hold.
    EXPECT_EQ(RefsOf(tree.get()), 1u);
    EXPECT_EQ(RefsOf(sub.get()), 1u);
    EXPECT_EQ(RefsOf(item.get()), 2u);  // ours and the enumerated VARIANT's
    EXPECT_EQ(RefsOf(ev.get()), 2u);    // en and ev
    ComPtr<MenuItem> again = ItemAt(tree.get(), 1);
    EXPECT_EQ(RefsOf(item.get()), 3u);
    again = nullptr;
    EXPECT_EQ(item->AddRef(), 3u);
    EXPECT_EQ(item->Release(), 2u);

    v.Clear();
    item = nullptr;
    sub = nullptr;
    en = nullptr;
    ev = nullptr;
    clone = nullptr;
    ti = nullptr;
    EXPECT_EQ(can_unload_(), S_FALSE);
    EXPECT_EQ(tree->Release(), 0u);
    tree.Detach();
    EXPECT_EQ(can_unload_(), S_FALSE) << "the server lock is still held";

    factory = Factory();
    ASSERT_HRESULT_SUCCEEDED(factory->LockServer(FALSE));
    factory = nullptr;
    EXPECT_EQ(can_unload_(), S_OK);
}

TEST_F(BibExports, ClassFactoryCreatesOnlyWhatItSupports) {
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    ComPtr<IUnknown> p;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, p.put_void()), E_NOINTERFACE);
    EXPECT_FALSE(p);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    factory = nullptr;
    EXPECT_EQ(can_unload_(), S_OK) << "a refused creation leaks nothing";
}

}  // namespace
}  // namespace bibtest
