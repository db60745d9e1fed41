// The control's persisted properties through a container's property bag and through a stream:
// defaults, what is left out, the order of reads, and a stored value of the wrong type.
#include <cstring>

#include "com_test.h"
#include "ctl_test.h"
#include "tqBiblioteca.h"

namespace tq::test {
namespace {

class PersistenceTest : public ComTest {};

bool Exibir(_tqMenu* ctl) {
    VARIANT_BOOL v = VARIANT_FALSE;
    EXPECT_EQ(ctl->get_ExibirMenu(&v), S_OK);
    return v != VARIANT_FALSE;
}

ComPtr<MenuTree> TreeOf(_tqMenu* ctl) {
    ComPtr<MenuTree> t;
    EXPECT_EQ(ctl->get_MenuTree(t.put()), S_OK);
    return t;
}

// A two-level tree with a few non-default properties.
ComPtr<MenuTree> SampleTree() {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> arq = AddEntry(tree.get(), L"&Arquivo", L"mnuArquivo");
    ComPtr<MenuItem> novo = AddEntry(SubOf(arq.get()).get(), L"&Novo", L"mnuNovo");
    novo->put_Habilitado(VARIANT_FALSE);
    novo->put_Descricao(Bstr(std::wstring_view(L"Cria um documento")).get());
    AddEntry(tree.get(), L"Aj&uda", L"mnuAjuda")->put_Visivel(VARIANT_FALSE);
    return tree;
}

void ExpectSampleTree(MenuTree* tree) {
    short n = 0;
    tree->get_Count(&n);
    ASSERT_EQ(n, 2);
    Bstr text;
    ComPtr<MenuItem> arq = ItemAt(tree, 1);
    arq->get_Nome(text.put());
    EXPECT_EQ(text.view(), L"mnuArquivo");
    ComPtr<MenuItem> novo = ItemAt(SubOf(arq.get()).get(), 1);
    novo->get_Caption(text.put());
    EXPECT_EQ(text.view(), L"&Novo");
    novo->get_Descricao(text.put());
    EXPECT_EQ(text.view(), L"Cria um documento");
    VARIANT_BOOL v = VARIANT_TRUE;
    novo->get_Habilitado(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
    ItemAt(tree, 2)->get_Visivel(&v);
    EXPECT_EQ(v, VARIANT_FALSE);
}

TEST_F(PersistenceTest, FreshAndLoadedControlsTakeTheirDefaults) {
    // Dropped on a form: ExibirMenu False, no tree; saving writes the non-default False only.
    ComPtr<_tqMenu> fresh = NewControl();
    ComPtr<IPersistPropertyBag> pb;
    ASSERT_EQ(fresh.As(IID_IPersistPropertyBag, &pb), S_OK);
    ASSERT_EQ(pb->InitNew(), S_OK);
    EXPECT_FALSE(Exibir(fresh.get()));
    ComPtr<TestBag> saved = TestBag::Make();
    ASSERT_EQ(pb->Save(saved.get(), TRUE, TRUE), S_OK);
    EXPECT_EQ(saved->objects.count(L"MenuTree"), 0u);
    ASSERT_EQ(saved->values.count(L"ExibirMenu"), 1u);
    EXPECT_EQ(V_VT(&saved->values[L"ExibirMenu"]), VT_BOOL);
    EXPECT_EQ(V_BOOL(&saved->values[L"ExibirMenu"]), VARIANT_FALSE);

    // Loaded from a bag that holds nothing: MenuTree read first, then ExibirMenu, which is True,
    // then AtalhosAtivos.
    ComPtr<_tqMenu> loaded = NewControl();
    ComPtr<IPersistPropertyBag> lb;
    ASSERT_EQ(loaded.As(IID_IPersistPropertyBag, &lb), S_OK);
    ComPtr<TestBag> empty = TestBag::Make();
    ASSERT_EQ(lb->Load(empty.get(), nullptr), S_OK) << TakeErrorText();
    EXPECT_EQ(empty->reads,
              (std::vector<std::wstring>{L"MenuTree", L"ExibirMenu", L"AtalhosAtivos"}));
    EXPECT_TRUE(Exibir(loaded.get()));

    // Saving writes the field: nothing while no tree was read, the (empty) tree once the getter
    // has made one; a True ExibirMenu is never written.
    ComPtr<TestBag> out1 = TestBag::Make();
    ASSERT_EQ(lb->Save(out1.get(), TRUE, FALSE), S_OK);
    EXPECT_TRUE(out1->objects.empty());
    EXPECT_TRUE(out1->values.empty());
    ASSERT_TRUE(TreeOf(loaded.get()));
    ComPtr<TestBag> out2 = TestBag::Make();
    ASSERT_EQ(lb->Save(out2.get(), TRUE, FALSE), S_OK);
    EXPECT_EQ(out2->objects.count(L"MenuTree"), 1u);
    EXPECT_TRUE(out2->values.empty());
}

TEST_F(PersistenceTest, TreeAndFlagRoundTripThroughAPropertyBag) {
    ComPtr<_tqMenu> a = NewControl();
    SetTree(a.get(), SampleTree().get());
    SetExibir(a.get(), false);
    ComPtr<IPersistPropertyBag> pa;
    ASSERT_EQ(a.As(IID_IPersistPropertyBag, &pa), S_OK);
    ComPtr<TestBag> bag = TestBag::Make();
    ASSERT_EQ(pa->Save(bag.get(), TRUE, FALSE), S_OK) << TakeErrorText();

    ComPtr<_tqMenu> b = NewControl();
    ComPtr<IPersistPropertyBag> pbag;
    ASSERT_EQ(b.As(IID_IPersistPropertyBag, &pbag), S_OK);
    ASSERT_EQ(pbag->Load(bag.get(), nullptr), S_OK) << TakeErrorText();
    EXPECT_FALSE(Exibir(b.get()));
    ComPtr<MenuTree> tree = TreeOf(b.get());
    EXPECT_NE(tree.get(), TreeOf(a.get()).get());  // a new object, made from the saved bytes
    ExpectSampleTree(tree.get());
}

TEST_F(PersistenceTest, TreeAndFlagRoundTripThroughAStream) {
    ComPtr<_tqMenu> a = NewControl();
    SetTree(a.get(), SampleTree().get());
    SetExibir(a.get(), false);
    ComPtr<IPersistStreamInit> pa;
    ASSERT_EQ(a.As(IID_IPersistStreamInit, &pa), S_OK);
    EXPECT_EQ(pa->IsDirty(), S_OK);
    ComPtr<IStream> stream = StreamOf("");
    ASSERT_EQ(pa->Save(stream.get(), TRUE), S_OK) << TakeErrorText();
    EXPECT_EQ(pa->IsDirty(), S_FALSE);

    // Through IPersistStream too, as OleLoadFromStream-style containers use it.
    ComPtr<_tqMenu> b = NewControl();
    ComPtr<IPersistStream> pb;
    ASSERT_EQ(b.As(IID_IPersistStream, &pb), S_OK);
    ComPtr<IStream> in = StreamOf(StreamBytes(stream.get()));
    ASSERT_EQ(pb->Load(in.get()), S_OK) << TakeErrorText();
    EXPECT_FALSE(Exibir(b.get()));
    ExpectSampleTree(TreeOf(b.get()).get());

    // A control with its defaults saves neither value, and loads back with them.
    ComPtr<_tqMenu> c = NewControl();
    SetExibir(c.get(), true);
    ComPtr<IPersistStreamInit> pc;
    ASSERT_EQ(c.As(IID_IPersistStreamInit, &pc), S_OK);
    ComPtr<IStream> s2 = StreamOf("");
    ASSERT_EQ(pc->Save(s2.get(), TRUE), S_OK);
    ComPtr<_tqMenu> d = NewControl();
    ComPtr<IPersistStreamInit> pd;
    ASSERT_EQ(d.As(IID_IPersistStreamInit, &pd), S_OK);
    ComPtr<IStream> in2 = StreamOf(StreamBytes(s2.get()));
    ASSERT_EQ(pd->Load(in2.get()), S_OK);
    EXPECT_TRUE(Exibir(d.get()));
    short n = -1;
    TreeOf(d.get())->get_Count(&n);
    EXPECT_EQ(n, 0);
}

bool Atalhos(_tqMenu* ctl) {
    VARIANT_BOOL v = VARIANT_FALSE;
    EXPECT_EQ(ctl->get_AtalhosAtivos(&v), S_OK);
    return v != VARIANT_FALSE;
}

// AtalhosAtivos: False on a fresh control, written only when True (a False control saves the
// same bytes as one that never heard of it), and read back as False when missing.
TEST_F(PersistenceTest, AtalhosAtivosRoundTripsAndReadsFalseWhenMissing) {
    ComPtr<_tqMenu> fresh = NewControl();
    EXPECT_FALSE(Atalhos(fresh.get()));
    ComPtr<IPersistStreamInit> pf;
    ASSERT_EQ(fresh.As(IID_IPersistStreamInit, &pf), S_OK);
    ComPtr<IStream> plain = StreamOf("");
    ASSERT_EQ(pf->Save(plain.get(), TRUE), S_OK);
    for (const bool on : {false, true}) {
        SCOPED_TRACE(on ? "True" : "False");
        ComPtr<_tqMenu> a = NewControl();
        SetAtalhos(a.get(), on);
        ComPtr<IPersistStreamInit> pa;
        ASSERT_EQ(a.As(IID_IPersistStreamInit, &pa), S_OK);
        ComPtr<IStream> stream = StreamOf("");
        ASSERT_EQ(pa->Save(stream.get(), TRUE), S_OK) << TakeErrorText();
        EXPECT_EQ(StreamBytes(stream.get()) == StreamBytes(plain.get()), !on);
        ComPtr<IPersistPropertyBag> pab;
        ASSERT_EQ(a.As(IID_IPersistPropertyBag, &pab), S_OK);
        ComPtr<TestBag> bag = TestBag::Make();
        ASSERT_EQ(pab->Save(bag.get(), TRUE, FALSE), S_OK) << TakeErrorText();
        EXPECT_EQ(bag->values.count(L"AtalhosAtivos"), on ? 1u : 0u);

        // Loaded into controls that hold the opposite value.
        ComPtr<_tqMenu> b = NewControl(), c = NewControl();
        SetAtalhos(b.get(), !on);
        SetAtalhos(c.get(), !on);
        ComPtr<IPersistStreamInit> pb;
        ASSERT_EQ(b.As(IID_IPersistStreamInit, &pb), S_OK);
        ComPtr<IStream> in = StreamOf(StreamBytes(stream.get()));
        ASSERT_EQ(pb->Load(in.get()), S_OK) << TakeErrorText();
        EXPECT_EQ(Atalhos(b.get()), on);
        ComPtr<IPersistPropertyBag> pc;
        ASSERT_EQ(c.As(IID_IPersistPropertyBag, &pc), S_OK);
        ASSERT_EQ(pc->Load(bag.get(), nullptr), S_OK) << TakeErrorText();
        EXPECT_EQ(Atalhos(c.get()), on);
    }
}

TEST_F(PersistenceTest, StoredMenuTreeOfTheWrongTypeFailsBeforeExibirMenuIsRead) {
    // Another persistable object (a second control) stored where the tree belongs.
    ComPtr<_tqMenu> other = NewControl();
    ComPtr<TestBag> bag = TestBag::Make();
    Variant obj = Variant::FromDispatch(other.get());
    ASSERT_EQ(bag->Write(L"MenuTree", &obj), S_OK);
    Variant f = Variant::FromBool(true);
    ASSERT_EQ(bag->Write(L"ExibirMenu", &f), S_OK);

    ComPtr<_tqMenu> ctl = NewControl();
    ComPtr<IPersistPropertyBag> pb;
    ASSERT_EQ(ctl.As(IID_IPersistPropertyBag, &pb), S_OK);
    EXPECT_EQ(pb->Load(bag.get(), nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_NE(TakeErrorText().find(L"MenuTree"), std::wstring::npos);
    EXPECT_EQ(bag->reads, (std::vector<std::wstring>{L"MenuTree"}));
    EXPECT_FALSE(Exibir(ctl.get()));  // still the zeroed field: "ExibirMenu" was never read

    // A text where the tree belongs.
    ComPtr<TestBag> text_bag = TestBag::Make();
    text_bag->values[L"MenuTree"] = Variant::FromString(L"não é uma árvore");
    EXPECT_EQ(pb->Load(text_bag.get(), nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_FALSE(TakeErrorText().empty());
    EXPECT_EQ(text_bag->reads.size(), 1u);
}

TEST_F(PersistenceTest, DamagedStreamsFailWithText) {
    ComPtr<_tqMenu> ctl = NewControl();
    ComPtr<IPersistStreamInit> ps;
    ASSERT_EQ(ctl.As(IID_IPersistStreamInit, &ps), S_OK);

    ComPtr<IStream> wrong = StreamOf("XXXX\x01\x00\x00\x00");
    EXPECT_TRUE(FAILED(ps->Load(wrong.get())));
    EXPECT_FALSE(TakeErrorText().empty());

    ComPtr<IStream> future = StreamOf(std::string("tqMC\x09\x00\x00\x00", 8));
    EXPECT_EQ(ps->Load(future.get()), static_cast<HRESULT>(0x80030104));  // STG_E_OLDFORMAT
    EXPECT_FALSE(TakeErrorText().empty());

    // Cut in the middle of a value's name.
    ComPtr<IStream> cut = StreamOf(std::string("tqMC\x01\x00\x01\x00\x08\x00M\x00", 12));
    EXPECT_TRUE(FAILED(ps->Load(cut.get())));
    EXPECT_NE(TakeErrorText().find(L"truncad"), std::wstring::npos);
}

// "tqMC", version 1, one value "MenuTree" holding an object of class `clsid`, then `rest`.
std::string StreamNaming(const CLSID& clsid, const std::string& rest) {
    std::string bytes("tqMC\x01\x00\x01\x00\x08\x00", 10);
    const std::wstring name = L"MenuTree";
    bytes.append(reinterpret_cast<const char*>(name.data()), name.size() * 2);
    bytes.append("\x0d\x00", 2);
    bytes.append(reinterpret_cast<const char*>(&clsid), sizeof(clsid));
    return bytes + rest;
}

// A control that already holds the sample tree and ExibirMenu False.
struct LoadedControl {
    ComPtr<_tqMenu> ctl = NewControl();
    ComPtr<MenuTree> tree = SampleTree();
    LoadedControl() {
        SetTree(ctl.get(), tree.get());
        SetExibir(ctl.get(), false);
    }
    void ExpectUnchanged() {
        EXPECT_EQ(TreeOf(ctl.get()).get(), tree.get());
        EXPECT_FALSE(Exibir(ctl.get()));
    }
};

TEST_F(PersistenceTest, StreamObjectsOtherThanAMenuTreeAreRefusedByTheirClassAlone) {
    // A StdFont with its data, a class nobody registered, and tqMenu naming itself 4,000 levels
    // deep (a stack overflow if each level were made and loaded).
    std::string nested;
    for (int i = 0; i < 4000; ++i) nested = StreamNaming(CLSID_tqMenu, nested);
    nested += std::string("tqMC\x01\x00\x00\x00", 8);
    const CLSID kStdFont = {
        0x0BE35203, 0x8F91, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
    const CLSID kUnregistered = {
        0x5A1B2C3D, 0x1234, 0x4321, {0x9A, 0x8B, 0x7C, 0x6D, 0x5E, 0x4F, 0x30, 0x21}};
    const struct {
        const char* what;
        CLSID clsid;
        std::string rest;
    } cases[] = {
        {"StdFont", kStdFont,
         std::string("\x01\x00\x00\x90\x01\x00\x00\x00\x00\x05"
                     "Arial",
                     15)},
        {"unregistered", kUnregistered, std::string(64, '\x01')},
        {"tqMenu", CLSID_tqMenu, nested},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoadedControl loaded;
        ComPtr<IPersistStreamInit> ps;
        ASSERT_EQ(loaded.ctl.As(IID_IPersistStreamInit, &ps), S_OK);
        const std::string bytes = StreamNaming(c.clsid, c.rest);
        ComPtr<IStream> in = StreamOf(bytes);
        EXPECT_EQ(ps->Load(in.get()), DISP_E_TYPEMISMATCH);
        EXPECT_NE(TakeErrorText().find(L"só um MenuTree"), std::wstring::npos);
        // Nothing was read past the class id: no object was made to read it.
        ULARGE_INTEGER pos{};
        ASSERT_EQ(in->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &pos), S_OK);
        EXPECT_EQ(pos.QuadPart, bytes.size() - c.rest.size());
        loaded.ExpectUnchanged();
    }
}

TEST_F(PersistenceTest, FailedLoadLeavesTheControlAsItWas) {
    // A valid tree, then an ExibirMenu that is no Boolean.
    ComPtr<TestBag> bag = TestBag::Make();
    Variant tree = Variant::FromDispatch(SampleTree().get());
    ASSERT_EQ(bag->Write(L"MenuTree", &tree), S_OK);
    bag->values[L"ExibirMenu"] = Variant::FromString(L"talvez");
    LoadedControl loaded;
    ComPtr<IPersistPropertyBag> pb;
    ASSERT_EQ(loaded.ctl.As(IID_IPersistPropertyBag, &pb), S_OK);
    EXPECT_EQ(pb->Load(bag.get(), nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_NE(TakeErrorText().find(L"ExibirMenu"), std::wstring::npos);
    loaded.ExpectUnchanged();
}

}  // namespace
}  // namespace tq::test
