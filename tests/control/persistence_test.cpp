// The control's properties through a container's property bag and a stream: defaults, the order
// of reads, and loads that fail.  The stream layout itself is the portable tests'.
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
template <class I = IPersistPropertyBag>
ComPtr<I> As(IUnknown* p, REFIID iid = IID_IPersistPropertyBag) {
    ComPtr<I> out;
    EXPECT_EQ(p->QueryInterface(iid, out.put_void()), S_OK);
    return out;
}

// Arquivo (Novo, disabled), Ajuda.
ComPtr<MenuTree> SampleTree() {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> arquivo = AddEntry(tree.get(), L"&Arquivo", L"mnuArquivo");
    AddEntry(SubOf(arquivo.get()).get(), L"&Novo", L"mnuNovo")->put_Habilitado(VARIANT_FALSE);
    AddEntry(tree.get(), L"Aj&uda", L"mnuAjuda");
    return tree;
}

TEST_F(PersistenceTest, DefaultsAreLeftOutAndEverythingElseRoundTripsThroughBagAndStream) {
    // A new control writes only ExibirMenu False; a bag without it reads True and AtalhosAtivos
    // False, in order, and a tree is written once the getter made one.
    ComPtr<_tqMenu> fresh = NewControl(), loaded = NewControl();
    ComPtr<TestBag> saved = TestBag::Make(), empty = TestBag::Make(), out = TestBag::Make();
    ASSERT_EQ(As(fresh.get())->InitNew(), S_OK);
    ASSERT_EQ(As(fresh.get())->Save(saved.get(), TRUE, TRUE), S_OK);
    ASSERT_EQ(saved->values.size() + saved->objects.size(), 1u);
    EXPECT_EQ(V_VT(&saved->values[L"ExibirMenu"]), VT_BOOL);
    EXPECT_EQ(V_BOOL(&saved->values[L"ExibirMenu"]), VARIANT_FALSE);
    ASSERT_EQ(As(loaded.get())->Load(empty.get(), nullptr), S_OK) << TakeErrorText();
    EXPECT_EQ(empty->reads,
              (std::vector<std::wstring>{L"MenuTree", L"ExibirMenu", L"AtalhosAtivos"}));
    EXPECT_TRUE(Flag(loaded.get(), &_tqMenu::get_ExibirMenu));
    EXPECT_FALSE(Flag(loaded.get(), &_tqMenu::get_AtalhosAtivos));
    ASSERT_EQ(As(loaded.get())->Save(empty.get(), TRUE, FALSE), S_OK);
    EXPECT_TRUE(empty->objects.empty() && empty->values.empty());
    ASSERT_TRUE(TreeOf(loaded.get()));
    ASSERT_EQ(As(loaded.get())->Save(out.get(), TRUE, FALSE), S_OK);
    EXPECT_EQ(out->objects.size() + out->values.size(), 1u);

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
        ASSERT_EQ(As(a.get())->Save(bag.get(), TRUE, FALSE), S_OK);
        ASSERT_EQ(As(by_bag.get())->Load(bag.get(), nullptr), S_OK) << TakeErrorText();
        ComPtr<IStream> in = StreamOf(StreamBytes(stream.get()));
        ASSERT_EQ(As<IPersistStream>(by_stream.get(), IID_IPersistStream)->Load(in.get()), S_OK)
            << TakeErrorText();
        const std::string tree = SavedBytes(TreeOf(a.get()).get());
        ASSERT_FALSE(tree.empty());
        for (_tqMenu* b : {by_bag.get(), by_stream.get()}) {
            EXPECT_EQ(Flag(b, &_tqMenu::get_ExibirMenu), !on);
            EXPECT_EQ(Flag(b, &_tqMenu::get_AtalhosAtivos), on);
            EXPECT_EQ(SavedBytes(TreeOf(b).get()), tree);
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
    const CLSID kStdFont = {
        0x0BE35203, 0x8F91, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
    const std::string font("\x01\x00\x00\x90\x01\x00\x00\x00\x00\x05Arial", 15),
        self = std::string("tqMC\x01\x00\x00\x00", 8);
    const struct {
        std::string bytes;
        size_t rest;  // the bytes after the class id, which nothing may read
        HRESULT hr;
        const wchar_t* text;
    } streams[] = {
        {"XXXX\x01\x00\x00\x00", 0, E_FAIL, L""},
        {std::string("tqMC\x09\x00\x00\x00", 8), 0, static_cast<HRESULT>(0x80030104), L""},
        {std::string("tqMC\x01\x00\x01\x00\x08\x00M\x00", 12), 0, E_FAIL, L"truncad"},
        {StreamNaming(kStdFont, font), font.size(), DISP_E_TYPEMISMATCH, L"só um MenuTree"},
        {StreamNaming(CLSID_tqMenu, self), self.size(), DISP_E_TYPEMISMATCH, L"só um MenuTree"},
    };
    // Bags: a control where the tree belongs, a text there, an ExibirMenu that is no Boolean.
    ComPtr<TestBag> control_bag = TestBag::Make(), text_bag = TestBag::Make(),
                    word_bag = TestBag::Make();
    Variant other = Variant::FromDispatch(NewControl().get()),
            tree = Variant::FromDispatch(SampleTree().get());
    ASSERT_EQ(control_bag->Write(L"MenuTree", &other), S_OK);
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
        ULARGE_INTEGER pos{};
        ASSERT_EQ(in->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &pos), S_OK);
        if (s.rest) {
            EXPECT_EQ(pos.QuadPart, s.bytes.size() - s.rest) << "no object read the rest";
        }
    }
    for (const auto& b : bags) {
        SCOPED_TRACE(b.reads);
        b.bag->reads.clear();
        check([&](_tqMenu* c) { return As(c)->Load(b.bag, nullptr); }, DISP_E_TYPEMISMATCH, b.text);
        EXPECT_EQ(b.bag->reads.size(), b.reads);
    }
}

}  // namespace
}  // namespace tq::test
