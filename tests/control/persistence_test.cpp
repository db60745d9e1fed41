// What the control leaves in its containers' files (property bag and stream: defaults, the order
// of reads, failed loads; the stream layout is the portable tests') and in the registry.
#include <tuple>

#include "com_test.h"
#include "ctl_test.h"
#include "tq/com/registry.h"

namespace tq::test {
namespace {

using PersistenceTest = ComTest;
using RegistrationTest = ComTest;

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
    ASSERT_TRUE(TreeOf(loaded.get()));
    ASSERT_EQ(As(loaded.get())->Save(out.get(), TRUE, FALSE), S_OK);
    EXPECT_EQ(empty->objects.size() + empty->values.size(), 0u);
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

// A stream naming another class for MenuTree; the bags: a control where the tree belongs, a
// text there, and an ExibirMenu that is no Boolean.  The control is left as it was.
TEST_F(PersistenceTest, FailedLoadsExplainThemselvesAndLeaveTheControlAsItWas) {
    const CLSID kStdFont = {
        0x0BE35203, 0x8F91, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
    std::string font("tqMC\x01\x00\x01\x00\x08\x00", 10);
    for (char c : std::string("MenuTree")) font += std::string{c, '\0'};
    font += std::string("\x0d\x00", 2) + std::string(reinterpret_cast<const char*>(&kStdFont), 16);
    const size_t read = font.size();
    font += std::string("\x01\x00\x00\x90\x01\x00\x00\x00\x00\x05Arial", 15);
    ComPtr<IStream> in = StreamOf(font);
    ComPtr<TestBag> control_bag = TestBag::Make(), text_bag = TestBag::Make(),
                    word_bag = TestBag::Make();
    Variant other = Variant::FromDispatch(NewControl().get()),
            tree = Variant::FromDispatch(SampleTree().get());
    ASSERT_EQ(control_bag->Write(L"MenuTree", &other), S_OK);
    text_bag->values[L"MenuTree"] = Variant::FromString(L"não é uma árvore");
    ASSERT_EQ(word_bag->Write(L"MenuTree", &tree), S_OK);
    word_bag->values[L"ExibirMenu"] = Variant::FromString(L"talvez");
    const struct {
        TestBag* bag;  // or the stream
        size_t reads;  // the tree fails before ExibirMenu is read
        const wchar_t* text;
    } cases[] = {{nullptr, 0, L"só um MenuTree"},
                 {control_bag.get(), 1, L"não é um MenuTree"},
                 {text_bag.get(), 1, L"não é um objeto"},
                 {word_bag.get(), 2, L"ExibirMenu"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reads);
        ComPtr<_tqMenu> ctl = NewControl();
        ComPtr<MenuTree> held = SampleTree();
        SetTree(ctl.get(), held.get());
        EXPECT_EQ(c.bag ? As(ctl.get())->Load(c.bag, nullptr)
                        : As<IPersistStreamInit>(ctl.get(), IID_IPersistStreamInit)->Load(in.get()),
                  DISP_E_TYPEMISMATCH);
        EXPECT_NE(TakeErrorText().find(c.text), std::wstring::npos);
        EXPECT_EQ(TreeOf(ctl.get()).get(), held.get());
        EXPECT_FALSE(Flag(ctl.get(), &_tqMenu::get_ExibirMenu));
        ULARGE_INTEGER pos{};
        in->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &pos);  // nothing read what follows the class
        EXPECT_EQ(c.bag ? c.bag->reads.size() : pos.QuadPart - read, c.reads);
    }
}

// A key's value, "<missing>" without the key, "" for a key without that value.
std::wstring ReadValue(HKEY root, const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t buf[1024] = {};
    DWORD size = sizeof(buf);
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return L"<missing>";
    RegCloseKey(h);
    RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size);
    return buf;
}

// The keys of the control and its page under `under` of `root` ("*": the key only), present or not.
void ExpectKeys(HKEY root, const std::wstring& under, bool present) {
    const std::wstring clsid = L"CLSID\\" + tq::com::GuidString(CLSID_tqMenu);
    const std::wstring page = L"CLSID\\" + tq::com::GuidString(CLSID_tqMenuProperty);
    const std::wstring libid = tq::com::GuidString(LIBID_tqMenuCtl);
    const std::tuple<std::wstring, const wchar_t*, std::wstring> keys[] = {
        {clsid + L"\\Control", nullptr, L""},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", nullptr, L"tqMenuCtl.tqMenu"},
        {clsid + L"\\TypeLib", nullptr, libid},
        {clsid + L"\\Version", nullptr, L"1.0"},
        {clsid + L"\\MiscStatus\\1", nullptr, L"*"},
        {clsid + L"\\ToolboxBitmap32", nullptr, L"*"},
        {L"tqMenuCtl.tqMenu\\CLSID", nullptr, tq::com::GuidString(CLSID_tqMenu)},
        {L"TypeLib\\" + libid + L"\\1.0", nullptr, L"tqMenuCtl - Tarquen Componente Menu"},
        {L"Interface\\" + tq::com::GuidString(IID__tqMenu), nullptr, L"*"},
        {page + L"\\InprocServer32", nullptr, L"*"},
        {L"tqMenuCtl.tqMenuProperty\\CLSID", nullptr, tq::com::GuidString(CLSID_tqMenuProperty)},
    };
    for (const auto& [key, name, value] : keys) {
        const std::wstring got = ReadValue(root, under + key, name);
        EXPECT_EQ(got != L"<missing>", present) << tq::com::ToAnsi(key);
        EXPECT_TRUE(!present || value == L"*" || got == value) << tq::com::ToAnsi(got);
    }
}

TEST_F(RegistrationTest, ControlPageAndTypeLibraryAreRegisteredMachineWideOrPerUser) {
    ExpectKeys(HKEY_CLASSES_ROOT, L"", true);
    ComPtr<IOleObject> ole;
    ASSERT_EQ(CoCreateInstance(CLSID_tqMenu, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                               ole.put_void()),
              S_OK);
    DWORD misc = 0;
    ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc & (OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INVISIBLEATRUNTIME),
              OLEMISC_SETCLIENTSITEFIRST);  // it hides itself once shown
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT,
                        L"CLSID\\" + tq::com::GuidString(CLSID_tqMenu) + L"\\MiscStatus\\1"),
              std::to_wstring(misc));

    // The type library documents AtalhosAtivos' default, and what a form saved without it reads.
    ComPtr<ITypeLib> tl;
    ComPtr<ITypeInfo> iface;
    ASSERT_EQ(LoadRegTypeLib(LIBID_tqMenuCtl, 1, 0, 0, tl.put()), S_OK);
    ASSERT_EQ(tl->GetTypeInfoOfGuid(IID__tqMenu, iface.put()), S_OK);
    Bstr help;
    ASSERT_EQ(iface->GetDocumentation(7, nullptr, help.put(), nullptr, nullptr), S_OK);
    EXPECT_NE(std::wstring(help.view())
                  .find(L"padrão False, e um formulário gravado sem o valor lê False"),
              std::wstring::npos);

    // DllInstall per user writes the same keys under HKCU and takes them all away again.
    HMODULE ocx = LoadLibraryW(WinPath(TQ_OCX_PATH).c_str());
    auto install = ProcOf<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(ocx, "DllInstall");
    ASSERT_NE(install, nullptr);
    for (const bool on : {true, false}) {
        ASSERT_EQ(install(on, L"user"), S_OK);
        ExpectKeys(HKEY_CURRENT_USER, L"Software\\Classes\\", on);
    }
    ExpectKeys(HKEY_CLASSES_ROOT, L"", true);  // the machine registration is untouched
    FreeLibrary(ocx);
}

}  // namespace
}  // namespace tq::test
