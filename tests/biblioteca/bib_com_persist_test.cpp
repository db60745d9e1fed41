// tqBiblioteca under Wine: IPersistStreamInit / IPersistStream (round trip, self-delimiting
// data, OLE's own stream helpers, corrupt input, dirtiness) and IPersistPropertyBag.
#include <algorithm>
#include <cstring>
#include <map>

#include "bib_com_util.h"
#include "tq/bib/persist.h"
#include "tq/com/object.h"
#include "tq/error.h"

namespace bibtest {
namespace {

class BibPersist : public ComTest {};

ComPtr<IPersistStreamInit> PersistOf(IUnknown* p) {
    ComPtr<IPersistStreamInit> persist;
    EXPECT_HRESULT_SUCCEEDED(p->QueryInterface(IID_IPersistStreamInit, persist.put_void()));
    return persist;
}

TEST_F(BibPersist, StreamRoundTripKeepsEveryPropertyAtEveryDepth) {
    ComPtr<MenuTree> tree = SampleTree();
    ASSERT_TRUE(tree);
    const std::wstring before = Dump(tree.get());
    ASSERT_EQ(std::count(before.begin(), before.end(), L'\n'), 3 + 6 + 12);

    ComPtr<IPersistStreamInit> persist = PersistOf(tree.get());
    ULARGE_INTEGER max{};
    ASSERT_HRESULT_SUCCEEDED(persist->GetSizeMax(&max));
    ComPtr<IStream> stream;
    ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    ASSERT_HRESULT_SUCCEEDED(persist->Save(stream.get(), TRUE));
    const std::string bytes = StreamBytes(stream.get());
    EXPECT_EQ(max.QuadPart, bytes.size()) << "GetSizeMax is exact";
    // The layout: a little-endian byte count, then the tree format ("tqMT" ...).
    ASSERT_GT(bytes.size(), 8u);
    uint32_t count = 0;
    std::memcpy(&count, bytes.data(), 4);
    EXPECT_EQ(count, bytes.size() - 4);
    EXPECT_EQ(bytes.substr(4, 4), "tqMT");

    ComPtr<MenuTree> copy = NewTree();
    ASSERT_TRUE(copy);
    ASSERT_HRESULT_SUCCEEDED(PersistOf(copy.get())->Load(StreamOf(bytes).get()));
    EXPECT_EQ(Dump(copy.get()), before);
    // HndMenu is run-time state: 0 after a load, and the old handles find nothing.
    const std::wstring with_hnd = Dump(copy.get(), true);
    EXPECT_EQ(with_hnd.find(L"hnd=1"), std::wstring::npos) << Narrow(with_hnd);
    ComPtr<MenuItem> found;
    VARIANT_BOOL f = 0;
    ASSERT_HRESULT_SUCCEEDED(copy->ItemPorHnd(Variant::FromLong(1000), &f, &f, &f, found.put()));
    EXPECT_FALSE(found);
    // "Never put" survives as such: A2's TextoMenu still follows its Caption.
    ComPtr<MenuItem> a2 = ItemNamed(copy.get(), L"A2");
    ASSERT_HRESULT_SUCCEEDED(a2->put_Caption(Bstr(L"Novo texto").get()));
    Bstr texto;
    ASSERT_HRESULT_SUCCEEDED(a2->get_TextoMenu(texto.put()));
    EXPECT_EQ(texto.view(), L"Novo texto");
    ComPtr<MenuItem> a1 = ItemNamed(copy.get(), L"A1");
    ASSERT_HRESULT_SUCCEEDED(a1->put_Caption(Bstr(L"Outro").get()));
    ASSERT_HRESULT_SUCCEEDED(a1->get_TextoMenu(texto.put()));
    EXPECT_EQ(texto.view(), L"A1\tCtrl+Ç");
}

TEST_F(BibPersist, LoadReadsExactlyItsOwnBytesFromASharedStream) {
    ComPtr<MenuTree> a = SampleTree();
    ComPtr<MenuTree> b = NewTree();
    ASSERT_TRUE(a && b);
    AddEntry(b.get(), L"Só um", L"UM");
    ComPtr<IStream> stream;
    ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    const uint32_t marker = 0xC0FFEE11;
    ASSERT_HRESULT_SUCCEEDED(PersistOf(a.get())->Save(stream.get(), FALSE));
    ASSERT_HRESULT_SUCCEEDED(stream->Write(&marker, 4, nullptr));
    ASSERT_HRESULT_SUCCEEDED(PersistOf(b.get())->Save(stream.get(), FALSE));
    ASSERT_HRESULT_SUCCEEDED(stream->Write(&marker, 4, nullptr));

    LARGE_INTEGER zero{};
    ASSERT_HRESULT_SUCCEEDED(stream->Seek(zero, STREAM_SEEK_SET, nullptr));
    ComPtr<MenuTree> a2 = NewTree(), b2 = NewTree();
    ASSERT_HRESULT_SUCCEEDED(PersistOf(a2.get())->Load(stream.get()));
    uint32_t got = 0;
    ASSERT_HRESULT_SUCCEEDED(stream->Read(&got, 4, nullptr));
    EXPECT_EQ(got, marker);
    ASSERT_HRESULT_SUCCEEDED(PersistOf(b2.get())->Load(stream.get()));
    got = 0;
    ASSERT_HRESULT_SUCCEEDED(stream->Read(&got, 4, nullptr));
    EXPECT_EQ(got, marker);
    EXPECT_EQ(Dump(a2.get()), Dump(a.get()));
    EXPECT_EQ(Dump(b2.get()), Dump(b.get()));
}

TEST_F(BibPersist, OleSaveToStreamAndOleLoadFromStreamRecreateTheObject) {
    ComPtr<MenuTree> tree = SampleTree();
    ASSERT_TRUE(tree);
    ComPtr<IPersistStream> ps;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_IPersistStream, &ps));
    ComPtr<IStream> stream;
    ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    ASSERT_HRESULT_SUCCEEDED(OleSaveToStream(ps.get(), stream.get()));
    LARGE_INTEGER zero{};
    ASSERT_HRESULT_SUCCEEDED(stream->Seek(zero, STREAM_SEEK_SET, nullptr));
    ComPtr<MenuTree> loaded;
    ASSERT_HRESULT_SUCCEEDED(OleLoadFromStream(stream.get(), IID_MenuTree, loaded.put_void()));
    ASSERT_TRUE(loaded);
    EXPECT_NE(IdentityOf(loaded.get()), IdentityOf(tree.get()));
    EXPECT_EQ(Dump(loaded.get()), Dump(tree.get()));
}

// Ways to damage a saved stream; each must fail the load and leave the tree as it was.
TEST_F(BibPersist, CorruptTruncatedOrHostileStreamsFailAndChangeNothing) {
    ComPtr<MenuTree> source = SampleTree();
    ASSERT_TRUE(source);
    const std::string good = SaveToBytes(source.get());
    auto with_count = [](uint32_t n, const std::string& rest) {
        std::string s(4, '\0');
        std::memcpy(s.data(), &n, 4);
        return s + rest;
    };
    std::string bad_magic = good;
    bad_magic[4] = 'X';
    std::string newer = good;  // min_reader far in the future
    newer[10] = '\x7f';
    std::string bad_tag = good;
    bad_tag[16] = '\xE0';  // a reserved kind of record
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty stream", ""},
        {"count cut short", good.substr(0, 3)},
        {"count only", good.substr(0, 4)},
        {"header cut short", good.substr(0, 10)},
        {"last byte missing", good.substr(0, good.size() - 1)},
        {"count beyond the data", with_count(static_cast<uint32_t>(good.size()), good.substr(4))},
        {"huge count, no data", with_count(0xFFFFFFFFu, "")},
        {"count 0", with_count(0, "")},
        {"count shorter than the data",
         with_count(static_cast<uint32_t>(good.size() - 10), good.substr(4))},
        {"not a menu", with_count(16, "0123456789abcdef")},
        {"bad magic", bad_magic},
        {"written for a newer reader", newer},
        {"reserved record kind", bad_tag},
    };

    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    AddEntry(tree.get(), L"&Arquivo", L"ARQ");
    AddEntry(SubOf(ItemAt(tree.get(), 1).get()).get(), L"&Sair", L"SAIR");
    ComPtr<MenuItem> held = ItemAt(tree.get(), 1);
    ComPtr<IPersistStreamInit> persist = PersistOf(tree.get());
    ASSERT_EQ(persist->IsDirty(), S_OK);
    const std::wstring before = Dump(tree.get());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const HRESULT hr = persist->Load(StreamOf(c.bytes).get());
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        EXPECT_TRUE(hr == static_cast<HRESULT>(tq::hr::kInvalidData) ||
                    hr == static_cast<HRESULT>(tq::hr::kOldFormat))
            << std::hex << hr;
        EXPECT_FALSE(TakeErrorText().empty()) << "a failed load explains itself";
        EXPECT_EQ(Dump(tree.get()), before);
        EXPECT_EQ(persist->IsDirty(), S_OK);
    }
    // The entries a client held are still the tree's own.
    EXPECT_EQ(IdentityOf(held.get()), IdentityOf(ItemAt(tree.get(), 1).get()));
    // And the tree still loads good data afterwards.
    ASSERT_HRESULT_SUCCEEDED(persist->Load(StreamOf(good).get()));
    EXPECT_EQ(Dump(tree.get()), Dump(source.get()));
}

TEST_F(BibPersist, IsDirtyAnswersWhetherTheTreeChangedSinceItWasClean) {
    ComPtr<MenuTree> tree = NewTree();
    ASSERT_TRUE(tree);
    ComPtr<IPersistStreamInit> persist = PersistOf(tree.get());
    ComPtr<IPersistStream> ps;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_IPersistStream, &ps));
    ASSERT_HRESULT_SUCCEEDED(persist->InitNew());
    EXPECT_EQ(persist->IsDirty(), S_FALSE) << "a new tree is clean";
    AddEntry(tree.get(), L"&Arquivo", L"ARQ");
    EXPECT_EQ(persist->IsDirty(), S_OK);
    EXPECT_EQ(ps->IsDirty(), S_OK) << "both stream interfaces answer alike";

    ComPtr<IStream> stream;
    ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    ASSERT_HRESULT_SUCCEEDED(persist->Save(stream.get(), FALSE));
    EXPECT_EQ(persist->IsDirty(), S_OK) << "a save that keeps the dirty state";
    ASSERT_HRESULT_SUCCEEDED(persist->Save(stream.get(), TRUE));
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    // Putting the value a property has changes nothing; a change made through an entry makes
    // the tree dirty, and undoing it by hand is one more change.
    ComPtr<MenuItem> item = ItemAt(tree.get(), 1);
    ASSERT_HRESULT_SUCCEEDED(item->put_Habilitado(VARIANT_TRUE));
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ASSERT_HRESULT_SUCCEEDED(item->put_Habilitado(VARIANT_FALSE));
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_HRESULT_SUCCEEDED(item->put_Habilitado(VARIANT_TRUE));
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_HRESULT_SUCCEEDED(persist->Save(stream.get(), TRUE));
    AddEntry(SubOf(item.get()).get(), L"&Novo", L"NOVO");
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ASSERT_HRESULT_SUCCEEDED(persist->Save(stream.get(), TRUE));
    // HndMenu is not stored, so building the menu bar does not dirty the tree.
    ASSERT_HRESULT_SUCCEEDED(item->put_HndMenu(1000));
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    // A load makes the loaded state the clean one.
    ComPtr<MenuTree> other = NewTree();
    ComPtr<IPersistStreamInit> other_persist = PersistOf(other.get());
    ASSERT_HRESULT_SUCCEEDED(other_persist->Load(StreamOf(SaveToBytes(tree.get())).get()));
    EXPECT_EQ(other_persist->IsDirty(), S_FALSE);
    // InitNew empties the tree and is clean again.
    ASSERT_HRESULT_SUCCEEDED(other_persist->InitNew());
    EXPECT_EQ(CountOf(other.get()), 0);
    EXPECT_EQ(other_persist->IsDirty(), S_FALSE);
}

// A property bag as a container keeps one: names to VARIANTs, read back as the type asked for.
class Bag final : public tq::com::ComObject<Bag, IPropertyBag> {
  public:
    static std::span<const tq::com::QiEntry> Interfaces() {
        static const tq::com::QiEntry table[] = {TQ_QI(Bag, IPropertyBag)};
        return table;
    }
    IFACEMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        auto it = values.find(name);
        if (it == values.end()) return E_INVALIDARG;
        const VARTYPE want = V_VT(value);
        VariantInit(value);
        if (want == VT_EMPTY) return VariantCopy(value, &it->second);
        return VariantChangeType(value, &it->second, 0, want);
    }
    IFACEMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
        return VariantCopy(&values[name], value);
    }
    std::map<std::wstring, Variant> values;
};

TEST_F(BibPersist, PropertyBagRoundTripAndBadBags) {
    ComPtr<MenuTree> tree = SampleTree();
    ASSERT_TRUE(tree);
    ComPtr<IPersistPropertyBag> ppb;
    ASSERT_HRESULT_SUCCEEDED(tree.As(IID_IPersistPropertyBag, &ppb));
    ComPtr<Bag> bag = Bag::Make();
    ASSERT_HRESULT_SUCCEEDED(ppb->Save(bag.get(), TRUE, FALSE));
    ASSERT_EQ(bag->values.size(), 2u);
    const Variant& version = bag->values[L"Versao"];
    EXPECT_EQ(V_VT(&version), VT_I4);
    EXPECT_EQ(V_I4(&version), 1);
    const Variant& data = bag->values[L"Dados"];
    ASSERT_EQ(V_VT(&data), VT_BSTR);
    const std::wstring text(V_BSTR(&data), SysStringLen(V_BSTR(&data)));
    EXPECT_EQ(text.find_first_not_of(
                  L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::wstring::npos);
    // The same data as the stream, as Base64.
    const std::vector<uint8_t> decoded = tq::bib::DecodeBase64(
        tq::StringView(reinterpret_cast<const char16_t*>(text.data()), text.size()));
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), SaveToBytes(tree.get()).substr(4));
    EXPECT_EQ(PersistOf(tree.get())->IsDirty(), S_FALSE) << "Save with fClearDirty cleans";

    ComPtr<MenuTree> copy = NewTree();
    ComPtr<IPersistPropertyBag> copy_ppb;
    ASSERT_HRESULT_SUCCEEDED(copy.As(IID_IPersistPropertyBag, &copy_ppb));
    ASSERT_HRESULT_SUCCEEDED(copy_ppb->Load(bag.get(), nullptr));
    EXPECT_EQ(Dump(copy.get()), Dump(tree.get()));
    EXPECT_EQ(PersistOf(copy.get())->IsDirty(), S_FALSE);

    // Damaged bags fail with text and leave the tree alone.
    const std::wstring before = Dump(copy.get());
    auto damaged = [&](const wchar_t* name, Variant value) {
        ComPtr<Bag> b = Bag::Make();
        b->values = bag->values;
        b->values[name] = std::move(value);
        return b;
    };
    const struct {
        const char* what;
        ComPtr<Bag> bag;
        HRESULT hr;
    } cases[] = {
        {"not Base64", damaged(L"Dados", Variant::FromString(L"não é base64!")),
         tq::hr::kInvalidData},
        {"Base64 of junk", damaged(L"Dados", Variant::FromString(L"AAECAwQFBgc=")),
         tq::hr::kInvalidData},
        {"newer bag layout", damaged(L"Versao", Variant::FromLong(2)), tq::hr::kOldFormat},
        {"version not a number", damaged(L"Versao", Variant::FromString(L"um")),
         DISP_E_TYPEMISMATCH},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(copy_ppb->Load(c.bag.get(), nullptr), c.hr);
        EXPECT_FALSE(TakeErrorText().empty());
        EXPECT_EQ(Dump(copy.get()), before);
    }

    // A bag with nothing in it holds an empty tree.
    ComPtr<Bag> empty = Bag::Make();
    ASSERT_HRESULT_SUCCEEDED(copy_ppb->Load(empty.get(), nullptr));
    EXPECT_EQ(CountOf(copy.get()), 0);
}

}  // namespace
}  // namespace bibtest
