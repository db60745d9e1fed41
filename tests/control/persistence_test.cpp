// The control's persisted properties through a container's property bag and through a stream:
// defaults, what is left out, the order of reads, and loads that fail.  The stream's layout is
// the portable property_stream tests'; here the binding and the error objects.
#include "com_test.h"
#include "ctl_test.h"

namespace tq::test {
namespace {

using PersistenceTest = ComTest;

bool Flag(_tqMenu* ctl, HRESULT (STDMETHODCALLTYPE _tqMenu::*get)(VARIANT_BOOL*)) {
    VARIANT_BOOL v = VARIANT_FALSE;
    EXPECT_EQ((ctl->*get)(&v), S_OK);
    return v != VARIANT_FALSE;
}
template <class I>
ComPtr<I> As(IUnknown* p, REFIID iid) {
    ComPtr<I> out;
    EXPECT_EQ(p->QueryInterface(iid, out.put_void()), S_OK);
    return out;
}

// Arquivo (Novo: disabled, with a Descricao), Ajuda: hidden.
ComPtr<MenuTree> SampleTree() {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> novo = AddEntry(
        SubOf(AddEntry(tree.get(), L"&Arquivo", L"mnuArquivo").get()).get(), L"&Novo", L"mnuNovo");
    novo->put_Habilitado(VARIANT_FALSE);
    novo->put_Descricao(Bstr(std::wstring_view(L"Cria um documento")).get());
    AddEntry(tree.get(), L"Aj&uda", L"mnuAjuda")->put_Visivel(VARIANT_FALSE);
    return tree;
}
std::wstring Describe(MenuTree* tree) {
    ComPtr<MenuItem> novo = ItemAt(SubOf(ItemAt(tree, 1).get()).get(), 1);
    Bstr caption, descricao;
    VARIANT_BOOL habilitado = 1, visivel = 1;
    if (novo) novo->get_Caption(caption.put()), novo->get_Descricao(descricao.put());
    if (novo) novo->get_Habilitado(&habilitado), ItemAt(tree, 2)->get_Visivel(&visivel);
    return std::to_wstring(CountOf(tree)) + L" " + std::wstring(caption.view()) + L" " +
           std::wstring(descricao.view()) + L" " + std::to_wstring(habilitado) +
           std::to_wstring(visivel);
}
constexpr wchar_t kSample[] = L"2 &Novo Cria um documento 00";

TEST_F(PersistenceTest, DefaultsAreLeftOutAndEverythingElseRoundTripsThroughBagAndStream) {
    // Dropped on a form: ExibirMenu False, no tree; saved, only the non-default False is written.
    ComPtr<_tqMenu> fresh = NewControl();
    ASSERT_TRUE(fresh);
    auto pb = As<IPersistPropertyBag>(fresh.get(), IID_IPersistPropertyBag);
    ASSERT_EQ(pb->InitNew(), S_OK);
    EXPECT_FALSE(Flag(fresh.get(), &_tqMenu::get_ExibirMenu));
    EXPECT_FALSE(Flag(fresh.get(), &_tqMenu::get_AtalhosAtivos));
    ComPtr<TestBag> saved = TestBag::Make();
    ASSERT_EQ(pb->Save(saved.get(), TRUE, TRUE), S_OK);
    EXPECT_TRUE(saved->objects.empty());
    ASSERT_EQ(saved->values.size(), 1u);
    EXPECT_EQ(V_VT(&saved->values[L"ExibirMenu"]), VT_BOOL);
    EXPECT_EQ(V_BOOL(&saved->values[L"ExibirMenu"]), VARIANT_FALSE);

    // Loaded from a bag that holds nothing: read in order, ExibirMenu True, AtalhosAtivos False.
    ComPtr<_tqMenu> loaded = NewControl();
    auto lb = As<IPersistPropertyBag>(loaded.get(), IID_IPersistPropertyBag);
    ComPtr<TestBag> empty = TestBag::Make();
    ASSERT_EQ(lb->Load(empty.get(), nullptr), S_OK) << TakeErrorText();
    EXPECT_EQ(empty->reads,
              (std::vector<std::wstring>{L"MenuTree", L"ExibirMenu", L"AtalhosAtivos"}));
    EXPECT_TRUE(Flag(loaded.get(), &_tqMenu::get_ExibirMenu));
    // Saved again: no tree until the getter made one; True and False defaults never written.
    ComPtr<TestBag> out = TestBag::Make();
    ASSERT_EQ(lb->Save(out.get(), TRUE, FALSE), S_OK);
    EXPECT_TRUE(out->objects.empty() && out->values.empty());
    ASSERT_TRUE(TreeOf(loaded.get()));
    ASSERT_EQ(lb->Save(out.get(), TRUE, FALSE), S_OK);
    EXPECT_EQ(out->objects.count(L"MenuTree"), 1u);
    EXPECT_TRUE(out->values.empty());

    // Every value set, each way, into controls that hold the opposite values.
    for (const bool on : {false, true}) {
        SCOPED_TRACE(on);
        ComPtr<_tqMenu> a = NewControl(), by_bag = NewControl(), by_stream = NewControl();
        SetTree(a.get(), SampleTree().get());
        SetExibir(a.get(), !on), SetAtalhos(a.get(), on);
        for (_tqMenu* b : {by_bag.get(), by_stream.get()}) SetExibir(b, on), SetAtalhos(b, !on);
        auto pa = As<IPersistStreamInit>(a.get(), IID_IPersistStreamInit);
        EXPECT_EQ(pa->IsDirty(), S_OK);
        ComPtr<IStream> stream = StreamOf("");
        ASSERT_EQ(pa->Save(stream.get(), TRUE), S_OK) << TakeErrorText();
        EXPECT_EQ(pa->IsDirty(), S_FALSE);
        ComPtr<TestBag> bag = TestBag::Make();
        ASSERT_EQ(As<IPersistPropertyBag>(a.get(), IID_IPersistPropertyBag)->Save(bag.get(), 1, 0),
                  S_OK);
        EXPECT_EQ(bag->values.count(L"AtalhosAtivos"), on ? 1u : 0u);
        ASSERT_EQ(
            As<IPersistPropertyBag>(by_bag.get(), IID_IPersistPropertyBag)->Load(bag.get(), 0),
            S_OK)
            << TakeErrorText();
        ComPtr<IStream> in = StreamOf(StreamBytes(stream.get()));
        ASSERT_EQ(As<IPersistStream>(by_stream.get(), IID_IPersistStream)->Load(in.get()), S_OK)
            << TakeErrorText();
        for (_tqMenu* b : {by_bag.get(), by_stream.get()}) {
            EXPECT_EQ(Flag(b, &_tqMenu::get_ExibirMenu), !on);
            EXPECT_EQ(Flag(b, &_tqMenu::get_AtalhosAtivos), on);
            EXPECT_EQ(Describe(TreeOf(b).get()), kSample);
            EXPECT_NE(TreeOf(b).get(), TreeOf(a.get()).get()) << "a new tree, made from the bytes";
        }
    }
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

TEST_F(PersistenceTest, FailedLoadsExplainThemselvesAndLeaveTheControlAsItWas) {
    // tqMenu naming itself 4,000 levels deep: a stack overflow if each level were made and read.
    std::string nested;
    for (int i = 0; i < 4000; ++i) nested = StreamNaming(CLSID_tqMenu, nested);
    nested += std::string("tqMC\x01\x00\x00\x00", 8);
    const CLSID kStdFont = {
        0x0BE35203, 0x8F91, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
    const CLSID kUnregistered = {
        0x5A1B2C3D, 0x1234, 0x4321, {0x9A, 0x8B, 0x7C, 0x6D, 0x5E, 0x4F, 0x30, 0x21}};
    const std::string font_rest("\x01\x00\x00\x90\x01\x00\x00\x00\x00\x05Arial", 15);
    const struct {
        std::string bytes;  // a stream, or
        size_t rest = 0;    // ... the bytes after its class id, which nobody may read
        HRESULT hr;
        const wchar_t* text;
    } streams[] = {
        {"XXXX\x01\x00\x00\x00", 0, E_FAIL, L""},
        {std::string("tqMC\x09\x00\x00\x00", 8), 0, static_cast<HRESULT>(0x80030104), L""},
        {std::string("tqMC\x01\x00\x01\x00\x08\x00M\x00", 12), 0, E_FAIL, L"truncad"},
        {StreamNaming(kStdFont, font_rest), font_rest.size(), DISP_E_TYPEMISMATCH,
         L"só um MenuTree"},
        {StreamNaming(kUnregistered, std::string(64, '\x01')), 64, DISP_E_TYPEMISMATCH,
         L"só um MenuTree"},
        {StreamNaming(CLSID_tqMenu, nested), nested.size(), DISP_E_TYPEMISMATCH, L"só um MenuTree"},
    };
    // Bags: a control where the tree belongs, a text there, an ExibirMenu that is no Boolean.
    ComPtr<TestBag> control_bag = TestBag::Make(), text_bag = TestBag::Make(),
                    word_bag = TestBag::Make();
    Variant other = Variant::FromDispatch(NewControl().get()),
            tree = Variant::FromDispatch(SampleTree().get());
    ASSERT_EQ(control_bag->Write(L"MenuTree", &other), S_OK);
    control_bag->values[L"ExibirMenu"] = Variant::FromBool(true);
    text_bag->values[L"MenuTree"] = Variant::FromString(L"não é uma árvore");
    ASSERT_EQ(word_bag->Write(L"MenuTree", &tree), S_OK);
    word_bag->values[L"ExibirMenu"] = Variant::FromString(L"talvez");
    const struct {
        TestBag* bag;
        size_t reads;  // the tree fails before ExibirMenu is read
        const wchar_t* text;
    } bags[] = {{control_bag.get(), 1, L"MenuTree"},
                {text_bag.get(), 1, L""},
                {word_bag.get(), 2, L"ExibirMenu"}};

    const auto check = [](const std::function<HRESULT(_tqMenu*)>& load, HRESULT hr,
                          const wchar_t* text) {
        ComPtr<_tqMenu> ctl = NewControl();
        ComPtr<MenuTree> held = SampleTree();
        SetTree(ctl.get(), held.get());
        const HRESULT got = load(ctl.get());
        EXPECT_TRUE(hr == E_FAIL ? FAILED(got) : got == hr) << std::hex << got;
        const std::wstring error = TakeErrorText();
        EXPECT_FALSE(error.empty());
        EXPECT_NE(error.find(text), std::wstring::npos) << tq::com::ToAnsi(error);
        EXPECT_EQ(TreeOf(ctl.get()).get(), held.get());
        EXPECT_FALSE(Flag(ctl.get(), &_tqMenu::get_ExibirMenu));
    };
    for (const auto& s : streams) {
        SCOPED_TRACE(s.bytes.size());
        ComPtr<IStream> in = StreamOf(s.bytes);
        check(
            [&](_tqMenu* c) {
                return As<IPersistStreamInit>(c, IID_IPersistStreamInit)->Load(in.get());
            },
            s.hr, s.text);
        if (!s.rest) continue;
        ULARGE_INTEGER pos{};
        ASSERT_EQ(in->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &pos), S_OK);
        EXPECT_EQ(pos.QuadPart, s.bytes.size() - s.rest) << "no object was made to read the rest";
    }
    for (const auto& b : bags) {
        SCOPED_TRACE(b.reads);
        b.bag->reads.clear();
        check(
            [&](_tqMenu* c) {
                return As<IPersistPropertyBag>(c, IID_IPersistPropertyBag)->Load(b.bag, nullptr);
            },
            DISP_E_TYPEMISMATCH, b.text);
        EXPECT_EQ(b.bag->reads.size(), b.reads);
    }
}

}  // namespace
}  // namespace tq::test
