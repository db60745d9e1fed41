// tqBiblioteca under Wine: late binding by name through the registered type library, Item's
// index rules and their error objects, ItemPorHnd, the 16-bit Count, and For Each.
#include <cstring>
#include <vector>

#include "bib_com_util.h"
#include "tq/bib/persist.h"
#include "tq/com/late_bind.h"
#include "tq/error.h"

namespace bibtest {
namespace {

using tq::com::CallMethod;
using tq::com::GetProperty;
using tq::com::PutProperty;

class BibDispatch : public ComTest {};

ComPtr<IDispatch> AsDispatch(IUnknown* p) {
    ComPtr<IDispatch> d;
    EXPECT_HRESULT_SUCCEEDED(p->QueryInterface(IID_IDispatch, d.put_void()));
    return d;
}

// A raw IDispatch::Invoke as a script engine makes it; args in natural order.
struct InvokeResult {
    HRESULT hr;
    Variant value;
    EXCEPINFO excep;
};
InvokeResult RawInvoke(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> args) {
    std::vector<VARIANTARG> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                      static_cast<UINT>(reversed.size()), 0};
    InvokeResult r{};
    UINT arg_err = 0;
    r.hr =
        d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &r.value, &r.excep, &arg_err);
    return r;
}

std::wstring Text(BSTR b) {
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

TEST_F(BibDispatch, EveryMemberWorksByNameThroughTheTypeLibrary) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    ComPtr<IDispatch> d = AsDispatch(tree.get());
    UINT count = 0;
    ASSERT_HRESULT_SUCCEEDED(d->GetTypeInfoCount(&count));
    EXPECT_EQ(count, 1u);

    // Names are looked up case-insensitively, as scripts write them.
    const wchar_t* tree_names[] = {L"Count",      L"Item",  L"Add", L"Clear",
                                   L"ItemPorHnd", L"count", L"ITEM"};
    for (const wchar_t* name : tree_names) {
        DISPID id = -99;
        EXPECT_HRESULT_SUCCEEDED(tq::com::GetDispId(d.get(), name, &id)) << Narrow(name);
    }
    DISPID item_id = -99;
    ASSERT_HRESULT_SUCCEEDED(tq::com::GetDispId(d.get(), L"Item", &item_id));
    EXPECT_EQ(item_id, DISPID_VALUE) << "Item is the default member";
    DISPID unknown = 0;
    EXPECT_EQ(tq::com::GetDispId(d.get(), L"NaoExiste", &unknown), DISP_E_UNKNOWNNAME);

    Variant r;
    ASSERT_HRESULT_SUCCEEDED(CallMethod(
        d.get(), L"Add", {Variant::FromString(L"&Arquivo"), Variant::FromString(L"ARQ")}, &r));
    EXPECT_EQ(V_VT(&r), VT_I2);
    EXPECT_EQ(V_I2(&r), 1);
    ASSERT_HRESULT_SUCCEEDED(CallMethod(
        d.get(), L"Add", {Variant::FromString(L"&Editar"), Variant::FromString(L"EDT")}, &r));
    EXPECT_EQ(V_I2(&r), 2);
    ASSERT_HRESULT_SUCCEEDED(GetProperty(d.get(), L"Count", &r));
    EXPECT_EQ(V_VT(&r), VT_I2);
    EXPECT_EQ(V_I2(&r), 2);

    // Every MenuItem property, put and read back by name.
    Variant item_v;
    ASSERT_HRESULT_SUCCEEDED(GetProperty(d.get(), L"Item", &item_v, {Variant::FromString(L"EDT")}));
    ASSERT_EQ(V_VT(&item_v), VT_DISPATCH);
    IDispatch* item = V_DISPATCH(&item_v);
    struct Prop {
        const wchar_t* name;
        Variant value;
    };
    const Prop props[] = {
        {L"TextoMenu", Variant::FromString(L"&Editar\tCtrl+E")},
        {L"Caption", Variant::FromString(L"&Edição")},
        {L"Descricao", Variant::FromString(L"Edita o documento")},
        {L"HndMenu", Variant::FromLong(1002)},
        {L"TeclaExtenso", Variant::FromString(L"Ctrl+E")},
        {L"MenuConsulta", Variant::FromBool(true)},
        {L"Visivel", Variant::FromBool(false)},
        {L"VisivelDefault", Variant::FromBool(false)},
        {L"Habilitado", Variant::FromBool(false)},
        {L"HabilitadoDefault", Variant::FromBool(false)},
    };
    for (const Prop& p : props)
        ASSERT_HRESULT_SUCCEEDED(PutProperty(item, p.name, p.value)) << Narrow(p.name);
    for (const Prop& p : props) {
        Variant got;
        ASSERT_HRESULT_SUCCEEDED(GetProperty(item, p.name, &got)) << Narrow(p.name);
        EXPECT_EQ(VarCmp(&got, const_cast<Variant*>(&p.value), LOCALE_USER_DEFAULT, 0), VARCMP_EQ)
            << Narrow(p.name);
        EXPECT_EQ(V_VT(&got), V_VT(&p.value)) << Narrow(p.name);
    }
    ASSERT_HRESULT_SUCCEEDED(GetProperty(item, L"Nome", &r));
    EXPECT_EQ(Text(V_BSTR(&r)), L"EDT");
    // Nome is read-only.
    EXPECT_HRESULT_FAILED(PutProperty(item, L"Nome", Variant::FromString(L"X")));

    // The default member: tree(2) and tree("EDT") without naming Item.
    InvokeResult by_default = RawInvoke(
        d.get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Variant::FromLong(2)});
    ASSERT_HRESULT_SUCCEEDED(by_default.hr);
    ASSERT_EQ(V_VT(&by_default.value), VT_DISPATCH);
    EXPECT_EQ(IdentityOf(V_DISPATCH(&by_default.value)), IdentityOf(item));

    // SubMenu and ItemPorHnd by name; the three flags travel as Booleans by reference.
    Variant sub;
    ASSERT_HRESULT_SUCCEEDED(GetProperty(item, L"SubMenu", &sub));
    ASSERT_EQ(V_VT(&sub), VT_DISPATCH);
    ASSERT_HRESULT_SUCCEEDED(GetProperty(V_DISPATCH(&sub), L"Count", &r));
    EXPECT_EQ(V_I2(&r), 0);
    Variant found;
    ASSERT_HRESULT_SUCCEEDED(CallMethod(d.get(), L"ItemPorHnd",
                                        {Variant::FromLong(1002), Variant::FromBool(true),
                                         Variant::FromBool(false), Variant::FromBool(true)},
                                        &found));
    ASSERT_EQ(V_VT(&found), VT_DISPATCH);
    EXPECT_EQ(IdentityOf(V_DISPATCH(&found)), IdentityOf(item));
    ASSERT_HRESULT_SUCCEEDED(CallMethod(d.get(), L"ItemPorHnd",
                                        {Variant::FromLong(0), Variant::FromBool(true),
                                         Variant::FromBool(false), Variant::FromBool(true)},
                                        &found));
    EXPECT_EQ(V_VT(&found), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&found), nullptr) << "Id 0 answers Nothing";

    ASSERT_HRESULT_SUCCEEDED(CallMethod(d.get(), L"Clear", {}, &r));
    EXPECT_EQ(V_VT(&r), VT_EMPTY);
    ASSERT_HRESULT_SUCCEEDED(GetProperty(d.get(), L"Count", &r));
    EXPECT_EQ(V_I2(&r), 0);
}

TEST_F(BibDispatch, BadIndexReachesALateBoundCallerAsAnExceptionWithText) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    for (const wchar_t* n : {L"A", L"B", L"C"}) AddEntry(tree.get(), n, n);
    ComPtr<IDispatch> d = AsDispatch(tree.get());
    struct Case {
        Variant index;
        HRESULT scode;
        const wchar_t* text;
    };
    Variant flag = Variant::FromBool(true);
    const Case cases[] = {
        {Variant::FromLong(7), DISP_E_BADINDEX, L"Índice fora do intervalo: 7 (Count = 3)"},
        {Variant::FromLong(0), DISP_E_BADINDEX, L"Índice fora do intervalo: 0 (Count = 3)"},
        {Variant::FromString(L"XYZ"), DISP_E_BADINDEX, L"Nome não encontrado: \"XYZ\""},
        {flag, DISP_E_TYPEMISMATCH,
         L"Tipo de índice inválido: Boolean (use a posição 1..Count ou o Nome)"},
    };
    for (const Case& c : cases) {
        InvokeResult r =
            RawInvoke(d.get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {c.index});
        EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(r.excep.scode, c.scode);
        EXPECT_EQ(Text(r.excep.bstrDescription), c.text);
        EXPECT_EQ(Text(r.excep.bstrSource), L"tqBiblioteca");
        SysFreeString(r.excep.bstrDescription);
        SysFreeString(r.excep.bstrSource);
        SysFreeString(r.excep.bstrHelpFile);
    }
}

class BibItem : public ComTest {
  protected:
    void SetUp() override {
        ComTest::SetUp();
        tree_ = NewTree();
        ASSERT_TRUE(tree_);
        for (const wchar_t* n : {L"UM", L"DOIS", L"TRES"}) AddEntry(tree_.get(), n, n);
    }
    void TearDown() override {
        tree_ = nullptr;
        ComTest::TearDown();
    }
    // The Nome of the entry Item(index) answers, or the failure with its text.
    std::wstring NomeAt(const VARIANT& index, HRESULT* hr_out = nullptr) {
        ComPtr<MenuItem> item;
        const HRESULT hr = tree_->get_Item(index, item.put());
        if (hr_out) *hr_out = hr;
        if (FAILED(hr)) {
            EXPECT_FALSE(item);
            return L"error: " + TakeErrorText();
        }
        Bstr nome;
        EXPECT_HRESULT_SUCCEEDED(item->get_Nome(nome.put()));
        return std::wstring(nome.view());
    }
    ComPtr<MenuTree> tree_;
};

TEST_F(BibItem, AnyIntegralNumberIsAPosition) {
    Variant v;
    V_VT(&v) = VT_I2, V_I2(&v) = 2;
    EXPECT_EQ(NomeAt(v), L"DOIS");
    V_VT(&v) = VT_UI1, V_UI1(&v) = 3;
    EXPECT_EQ(NomeAt(v), L"TRES");
    V_VT(&v) = VT_I8, V_I8(&v) = 1;
    EXPECT_EQ(NomeAt(v), L"UM");
    V_VT(&v) = VT_R8, V_R8(&v) = 2.0;
    EXPECT_EQ(NomeAt(v), L"DOIS");
    V_VT(&v) = VT_R4, V_R4(&v) = 3.0f;
    EXPECT_EQ(NomeAt(v), L"TRES");
    V_VT(&v) = VT_CY, V_CY(&v).int64 = 20000;  // Currency 2
    EXPECT_EQ(NomeAt(v), L"DOIS");
    V_VT(&v) = VT_DECIMAL;
    ASSERT_HRESULT_SUCCEEDED(VarDecFromI4(3, &V_DECIMAL(&v)));
    V_VT(&v) = VT_DECIMAL;  // VarDecFromI4 fills the whole VARIANT's storage
    EXPECT_EQ(NomeAt(v), L"TRES");
    // By reference, as script engines pass variables.
    LONG position = 1;
    Variant by_ref;
    V_VT(&by_ref) = VT_I4 | VT_BYREF, V_I4REF(&by_ref) = &position;
    EXPECT_EQ(NomeAt(by_ref), L"UM");
    Variant inner = Variant::FromLong(3);
    Variant by_var;
    V_VT(&by_var) = VT_VARIANT | VT_BYREF, V_VARIANTREF(&by_var) = &inner;
    EXPECT_EQ(NomeAt(by_var), L"TRES");
    Bstr nome(std::wstring_view(L"DOIS"));
    BSTR raw = nome.get();
    Variant by_str;
    V_VT(&by_str) = VT_BSTR | VT_BYREF, V_BSTRREF(&by_str) = &raw;
    EXPECT_EQ(NomeAt(by_str), L"DOIS");
    // Strings are names, even when they look like numbers.
    AddEntry(tree_.get(), L"dois", L"2");
    EXPECT_EQ(NomeAt(Variant::FromString(L"2")), L"2");
    EXPECT_EQ(NomeAt(Variant::FromString(L"UM")), L"UM");
    // Names are case-sensitive.
    HRESULT hr = S_OK;
    NomeAt(Variant::FromString(L"um"), &hr);
    EXPECT_EQ(hr, DISP_E_BADINDEX);
}

TEST_F(BibItem, EverythingElseFailsWithTheRightErrorAndText) {
    struct Case {
        VARTYPE vt;
        double number;
        HRESULT hr;
        const wchar_t* text;
    };
    const Case cases[] = {
        {VT_I4, 0, DISP_E_BADINDEX, L"error: Índice fora do intervalo: 0 (Count = 3)"},
        {VT_I4, -1, DISP_E_BADINDEX, L"error: Índice fora do intervalo: -1 (Count = 3)"},
        {VT_I4, 4, DISP_E_BADINDEX, L"error: Índice fora do intervalo: 4 (Count = 3)"},
        {VT_R8, 1.5, DISP_E_BADINDEX, L"error: Índice não inteiro: 1.5"},
        {VT_R8, 5e30, DISP_E_BADINDEX, L"error: Índice fora do intervalo: 5e+30 (Count = 3)"},
        {VT_R8, -1e300, DISP_E_BADINDEX, L"error: Índice fora do intervalo: -1e+300 (Count = 3)"},
        {VT_EMPTY, 0, DISP_E_TYPEMISMATCH,
         L"error: Tipo de índice inválido: Empty (use a posição 1..Count ou o Nome)"},
        {VT_NULL, 0, DISP_E_TYPEMISMATCH,
         L"error: Tipo de índice inválido: Null (use a posição 1..Count ou o Nome)"},
        {VT_BOOL, 0, DISP_E_TYPEMISMATCH, nullptr},
        {VT_DATE, 2, DISP_E_TYPEMISMATCH, nullptr},
        {VT_ERROR, 0, DISP_E_TYPEMISMATCH, nullptr},
    };
    for (const Case& c : cases) {
        Variant v;
        V_VT(&v) = c.vt;
        if (c.vt == VT_I4) V_I4(&v) = static_cast<LONG>(c.number);
        if (c.vt == VT_R8 || c.vt == VT_DATE) V_R8(&v) = c.number;
        if (c.vt == VT_ERROR) V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
        HRESULT hr = S_OK;
        const std::wstring got = NomeAt(v, &hr);
        EXPECT_EQ(hr, c.hr) << "vt " << c.vt << " " << c.number;
        if (c.text) {
            EXPECT_EQ(got, c.text);
        }
        EXPECT_GT(got.size(), 8u) << "every failure explains itself";
    }
    // Variants OLE itself refuses to read: an unknown VARTYPE, and a by-reference Variant that
    // points to another by-reference one.
    LONG one = 1;
    VARIANT inner_ref, unknown_vt, nested;
    V_VT(&inner_ref) = VT_I4 | VT_BYREF, V_I4REF(&inner_ref) = &one;
    V_VT(&nested) = VT_VARIANT | VT_BYREF, V_VARIANTREF(&nested) = &inner_ref;
    V_VT(&unknown_vt) = 0x7F, V_I4(&unknown_vt) = 1;
    const std::pair<const VARIANT*, const wchar_t*> refused[] = {
        {&unknown_vt, L"error: Tipo de Variant inválido: VarType 127"},
        {&nested, L"error: Tipo de Variant inválido: referência a outra referência"},
    };
    for (const auto& [v, text] : refused) EXPECT_EQ(NomeAt(*v), text);
    // An object is not an index either.
    Variant obj = Variant::FromDispatch(AsDispatch(tree_.get()).get());
    HRESULT hr = S_OK;
    NomeAt(obj, &hr);
    EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(tree_->get_Item(Variant::FromLong(1), nullptr), E_POINTER);

    // The error objects are announced for the interface.
    ComPtr<ISupportErrorInfo> sei;
    ASSERT_HRESULT_SUCCEEDED(tree_.As(IID_ISupportErrorInfo, &sei));
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_MenuTree), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IPersistStreamInit), S_OK);
    EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IOleObject), S_FALSE);
    ComPtr<ISupportErrorInfo> item_sei;
    ASSERT_HRESULT_SUCCEEDED(ItemAt(tree_.get(), 1).As(IID_ISupportErrorInfo, &item_sei));
    EXPECT_EQ(item_sei->InterfaceSupportsErrorInfo(IID_MenuItem), S_OK);
    EXPECT_EQ(item_sei->InterfaceSupportsErrorInfo(IID_MenuTree), S_FALSE);
}

TEST_F(BibItem, DuplicateNomeAnswersTheFirstEntry) {
    AddEntry(tree_.get(), L"segundo DOIS", L"DOIS");
    ComPtr<MenuItem> first = ItemNamed(tree_.get(), L"DOIS");
    EXPECT_EQ(IdentityOf(first.get()), IdentityOf(ItemAt(tree_.get(), 2).get()));
    Bstr caption;
    ASSERT_HRESULT_SUCCEEDED(first->get_Caption(caption.put()));
    EXPECT_EQ(caption.view(), L"DOIS");
}

class BibHnd : public ComTest {
  protected:
    ComPtr<MenuItem> Find(MenuTree* level, const VARIANT& id, HRESULT expect = S_OK) {
        VARIANT_BOOL a = VARIANT_TRUE, b = VARIANT_FALSE, c = VARIANT_TRUE;
        ComPtr<MenuItem> item;
        EXPECT_EQ(level->ItemPorHnd(id, &a, &b, &c, item.put()), expect);
        // The flags are accepted and left alone.
        EXPECT_EQ(a, VARIANT_TRUE);
        EXPECT_EQ(b, VARIANT_FALSE);
        EXPECT_EQ(c, VARIANT_TRUE);
        return item;
    }
    std::wstring NomeOf(MenuItem* item) {
        if (!item) return L"Nothing";
        Bstr nome;
        EXPECT_HRESULT_SUCCEEDED(item->get_Nome(nome.put()));
        return std::wstring(nome.view());
    }
};

TEST_F(BibHnd, FindsAtAnyDepthFollowingEveryHndMenuPut) {
    ComPtr<MenuTree> tree = SampleTree();  // HndMenu 1000.. on every entry, depth first
    ASSERT_TRUE(tree);
    EXPECT_EQ(NomeOf(Find(tree.get(), Variant::FromLong(1000)).get()), L"A1");
    EXPECT_EQ(NomeOf(Find(tree.get(), Variant::FromLong(1003)).get()), L"A1B1C2");
    // The handle travels as any integral type, by reference too.
    Variant v;
    V_VT(&v) = VT_I2, V_I2(&v) = 1004;
    EXPECT_EQ(NomeOf(Find(tree.get(), v).get()), L"A1B2");
    V_VT(&v) = VT_R8, V_R8(&v) = 1002.0;
    EXPECT_EQ(NomeOf(Find(tree.get(), v).get()), L"A1B1C1");
    LONG hnd = 1001;
    V_VT(&v) = VT_I4 | VT_BYREF, V_I4REF(&v) = &hnd;
    EXPECT_EQ(NomeOf(Find(tree.get(), v).get()), L"A1B1");

    // A put moves the entry in the index: the old value no longer finds it.
    ComPtr<MenuItem> deep = Find(tree.get(), Variant::FromLong(1003));
    ASSERT_TRUE(deep);
    ASSERT_HRESULT_SUCCEEDED(deep->put_HndMenu(-5));
    EXPECT_EQ(NomeOf(Find(tree.get(), Variant::FromLong(1003)).get()), L"Nothing");
    EXPECT_EQ(NomeOf(Find(tree.get(), Variant::FromLong(-5)).get()), L"A1B1C2");
    // A handle shown as unsigned is the same handle.
    ASSERT_HRESULT_SUCCEEDED(deep->put_HndMenu(-1));
    V_VT(&v) = VT_UI4, V_UI4(&v) = 0xFFFFFFFFu;
    EXPECT_EQ(NomeOf(Find(tree.get(), v).get()), L"A1B1C2");

    // A level searches only below itself.
    ComPtr<MenuTree> a2 = SubOf(ItemNamed(tree.get(), L"A2").get());
    EXPECT_EQ(NomeOf(Find(a2.get(), Variant::FromLong(1000)).get()), L"Nothing");
    const std::wstring a2_first = NomeOf(ItemAt(a2.get(), 1).get());
    LONG a2_hnd = 0;
    ASSERT_HRESULT_SUCCEEDED(ItemAt(a2.get(), 1)->get_HndMenu(&a2_hnd));
    EXPECT_EQ(NomeOf(Find(a2.get(), Variant::FromLong(a2_hnd)).get()), a2_first);
}

TEST_F(BibHnd, ZeroEmptyAndImpossibleIdsAnswerNothing) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    AddEntry(tree.get(), L"A", L"A");  // HndMenu 0: never built, never found
    EXPECT_EQ(NomeOf(Find(tree.get(), Variant::FromLong(0)).get()), L"Nothing");
    Variant v;
    EXPECT_EQ(NomeOf(Find(tree.get(), v).get()), L"Nothing");  // Empty
    V_VT(&v) = VT_NULL;
    EXPECT_EQ(NomeOf(Find(tree.get(), v).get()), L"Nothing");
    ASSERT_HRESULT_SUCCEEDED(ItemAt(tree.get(), 1)->put_HndMenu(9));
    V_VT(&v) = VT_I8, V_I8(&v) = 0x100000009ll;  // no 32-bit handle has this value
    EXPECT_EQ(NomeOf(Find(tree.get(), v).get()), L"Nothing");
    V_VT(&v) = VT_R8, V_R8(&v) = 0.5;
    EXPECT_EQ(NomeOf(Find(tree.get(), v).get()), L"Nothing");

    // Not a number at all: a type mismatch with text.
    EXPECT_EQ(NomeOf(Find(tree.get(), Variant::FromString(L"1000"), DISP_E_TYPEMISMATCH).get()),
              L"Nothing");
    EXPECT_EQ(TakeErrorText(), L"Tipo de Id inválido: VarType 8 (esperado um Long)");
    // Null flag pointers are accepted.
    ComPtr<MenuItem> item;
    EXPECT_EQ(tree->ItemPorHnd(Variant::FromLong(9), nullptr, nullptr, nullptr, item.put()), S_OK);
    EXPECT_EQ(NomeOf(item.get()), L"A");
}

// Count is a 16-bit Integer: a level stops at 32767 entries instead of wrapping around.
TEST_F(BibItem, CountNeverWrapsPast32767) {
    Bstr caption(std::wstring_view(L"x")), nome(std::wstring_view(L"n"));
    BSTR c = caption.get(), n = nome.get();
    short result = 0;
    for (int i = CountOf(tree_.get()); i < 32767; ++i)
        ASSERT_HRESULT_SUCCEEDED(tree_->Add(&c, &n, &result));
    EXPECT_EQ(result, 32767);
    EXPECT_EQ(CountOf(tree_.get()), 32767);
    EXPECT_EQ(tree_->Add(&c, &n, &result), static_cast<HRESULT>(tq::hr::kOverflow));
    EXPECT_EQ(TakeErrorText(), L"Estouro: um nível não pode ter mais de 32767 entradas");
    EXPECT_EQ(CountOf(tree_.get()), 32767) << "a refused Add adds nothing";
    ComPtr<MenuItem> last;
    EXPECT_HRESULT_SUCCEEDED(tree_->get_Item(Variant::FromLong(32767), last.put()));
    EXPECT_HRESULT_FAILED(tree_->get_Item(Variant::FromLong(32768), last.put()));
}

TEST_F(BibItem, ForEachEnumeratesTheLiveLevel) {
    ComPtr<IUnknown> unk;
    ASSERT_HRESULT_SUCCEEDED(tree_->get__NewEnum(unk.put()));
    ComPtr<IEnumVARIANT> e;
    ASSERT_HRESULT_SUCCEEDED(unk.As(IID_IEnumVARIANT, &e));
    VARIANT out[4];
    for (auto& v : out) VariantInit(&v);
    ULONG got = 99;
    ASSERT_EQ(e->Next(2, out, &got), S_OK);
    ASSERT_EQ(got, 2u);
    ComPtr<IEnumVARIANT> clone;
    ASSERT_HRESULT_SUCCEEDED(e->Clone(clone.put()));  // continues from the same place
    EXPECT_EQ(IdentityOf(V_DISPATCH(&out[0])), IdentityOf(ItemAt(tree_.get(), 1).get()));
    EXPECT_EQ(IdentityOf(V_DISPATCH(&out[1])), IdentityOf(ItemAt(tree_.get(), 2).get()));
    VariantClear(&out[0]);
    VariantClear(&out[1]);
    AddEntry(tree_.get(), L"QUATRO", L"QUATRO");  // added during the walk: still visited
    ASSERT_EQ(e->Next(4, out, &got), S_FALSE);
    ASSERT_EQ(got, 2u);
    EXPECT_EQ(IdentityOf(V_DISPATCH(&out[1])), IdentityOf(ItemNamed(tree_.get(), L"QUATRO").get()));
    VariantClear(&out[0]);
    VariantClear(&out[1]);
    EXPECT_EQ(e->Next(1, out, nullptr), S_FALSE);
    EXPECT_EQ(e->Next(2, out, nullptr), E_POINTER) << "more than one needs a count back";

    EXPECT_EQ(clone->Skip(1), S_OK);
    ASSERT_EQ(clone->Next(1, out, nullptr), S_OK);
    EXPECT_EQ(IdentityOf(V_DISPATCH(&out[0])), IdentityOf(ItemAt(tree_.get(), 4).get()));
    VariantClear(&out[0]);
    EXPECT_EQ(clone->Skip(1), S_FALSE);
    ASSERT_HRESULT_SUCCEEDED(clone->Reset());
    ASSERT_EQ(clone->Next(1, out, &got), S_OK);
    EXPECT_EQ(IdentityOf(V_DISPATCH(&out[0])), IdentityOf(ItemAt(tree_.get(), 1).get()));
    VariantClear(&out[0]);
    // Clear ends a walk.
    ASSERT_HRESULT_SUCCEEDED(tree_->Clear(nullptr));
    EXPECT_EQ(clone->Next(1, out, &got), S_FALSE);
    EXPECT_EQ(got, 0u);

    // Through IDispatch, as For Each asks for it.
    AddEntry(tree_.get(), L"A", L"A");
    InvokeResult r = RawInvoke(AsDispatch(tree_.get()).get(), DISPID_NEWENUM,
                               DISPATCH_METHOD | DISPATCH_PROPERTYGET, {});
    ASSERT_HRESULT_SUCCEEDED(r.hr);
    ASSERT_TRUE(V_VT(&r.value) == VT_UNKNOWN || V_VT(&r.value) == VT_DISPATCH);
    ComPtr<IEnumVARIANT> e2;
    ASSERT_HRESULT_SUCCEEDED(V_UNKNOWN(&r.value)->QueryInterface(IID_IEnumVARIANT, e2.put_void()));
    ASSERT_EQ(e2->Next(1, out, &got), S_OK);
    VariantClear(&out[0]);
}

TEST_F(BibDispatch, ClassInfoDescribesTheCreatableClass) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    ComPtr<IProvideClassInfo> pci;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_IProvideClassInfo, &pci));
    ComPtr<ITypeInfo> ti;
    ASSERT_HRESULT_SUCCEEDED(pci->GetClassInfo(ti.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_HRESULT_SUCCEEDED(ti->GetTypeAttr(&attr));
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_MenuTreeClass));
    ti->ReleaseTypeAttr(attr);
    // Its default interface is MenuTree.
    HREFTYPE ref = 0;
    ASSERT_HRESULT_SUCCEEDED(ti->GetRefTypeOfImplType(0, &ref));
    ComPtr<ITypeInfo> itf;
    ASSERT_HRESULT_SUCCEEDED(ti->GetRefTypeInfo(ref, itf.put()));
    Bstr name;
    ASSERT_HRESULT_SUCCEEDED(
        itf->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr));
    EXPECT_EQ(name.view(), L"MenuTree");
    // Help strings, accents included, reach a type library browser intact.
    Bstr help;
    ASSERT_HRESULT_SUCCEEDED(
        itf->GetDocumentation(DISPID_VALUE, name.put(), help.put(), nullptr, nullptr));
    EXPECT_EQ(name.view(), L"Item");
    EXPECT_EQ(help.view(), L"Entrada pela posição (1..Count) ou pelo Nome");
}

}  // namespace
}  // namespace bibtest
