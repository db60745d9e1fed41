#include "property_bag.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "tqBiblioteca.h"
#include "tq/com/error_info.h"
#include "tq/com/strings.h"
#include "tq/error.h"

namespace tq::ctl {

using com::Check;
using com::ComPtr;
using com::Variant;

namespace {

// The control's stream through the portable reader and writer.
class StreamSource final : public ByteSource {
  public:
    explicit StreamSource(IStream* s) : s_(s) {}
    size_t Read(uint8_t* out, size_t size) override {
        ULONG got = 0;
        Check(s_->Read(out, static_cast<ULONG>(size), &got));
        return got;
    }

  private:
    IStream* s_;
};

class StreamSink final : public ByteSink {
  public:
    explicit StreamSink(IStream* s) : s_(s) {}
    void Write(const uint8_t* data, size_t size) override {
        ULONG written = 0;
        Check(s_->Write(data, static_cast<ULONG>(size), &written));
        if (written != size) throw tq::Error(STG_E_MEDIUMFULL, u"Não foi possível gravar o tqMenu");
    }

  private:
    IStream* s_;
};

// The one class an object stored by the control may have: tqBiblioteca's MenuTree.
const ClassId& AcceptedClass() {
    static const ClassId id = [] {
        ClassId c;
        std::memcpy(c.data(), &CLSID_MenuTreeClass, c.size());
        return c;
    }();
    return id;
}

// What the object writes of itself, as OleSaveToStream would write it after the class id.
StoredObject SaveObject(IUnknown* obj, const std::wstring& name) {
    ComPtr<IPersistStream> persist;
    Check(obj->QueryInterface(IID_IPersistStream, persist.put_void()),
          L"O objeto guardado em \"" + name + L"\" não sabe se gravar num stream");
    StoredObject stored{};
    CLSID clsid{};
    Check(persist->GetClassID(&clsid));
    std::memcpy(stored.clsid.data(), &clsid, stored.clsid.size());
    ComPtr<IStream> mem;
    Check(CreateStreamOnHGlobal(nullptr, TRUE, mem.put()));
    Check(persist->Save(mem.get(), TRUE));
    STATSTG stat{};
    Check(mem->Stat(&stat, STATFLAG_NONAME));
    HGLOBAL global = nullptr;
    Check(GetHGlobalFromStream(mem.get(), &global));
    const size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(global));
    if (size > 0 && !bytes) throw std::bad_alloc();
    stored.data.assign(bytes, bytes + size);
    GlobalUnlock(global);
    return stored;
}

// A MenuTree made from its stored data, never anything else: the class was checked when the
// data was read.
ComPtr<IUnknown> LoadObject(const StoredObject& stored) {
    ComPtr<IPersistStream> persist;
    Check(CoCreateInstance(CLSID_MenuTreeClass, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStream,
                           persist.put_void()),
          L"Não foi possível criar o MenuTree guardado no tqMenu (a tqBiblioteca está "
          L"registrada?)");
    ComPtr<IStream> mem;
    Check(CreateStreamOnHGlobal(nullptr, TRUE, mem.put()));
    StreamSink(mem.get()).Write(stored.data.data(), stored.data.size());
    Check(mem->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr));
    Check(persist->Load(mem.get()));
    ComPtr<IUnknown> obj;
    Check(persist->QueryInterface(IID_IUnknown, obj.put_void()));
    return obj;
}

}  // namespace

std::span<const com::QiEntry> MemoryBag::Interfaces() {
    static const com::QiEntry table[] = {TQ_QI(MemoryBag, IPropertyBag)};
    return table;
}

HRESULT MemoryBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    if (!name || !value) return E_POINTER;
    for (auto& [key, stored] : values_) {
        if (key != name) continue;
        const VARTYPE wanted = V_VT(value);
        VariantInit(value);
        if (wanted == VT_EMPTY) return VariantCopy(value, &stored);
        return VariantChangeType(value, &stored, 0, wanted);
    }
    return E_INVALIDARG;
}

HRESULT MemoryBag::Write(LPCOLESTR name, VARIANT* value) {
    if (!name || !value) return E_POINTER;
    return com::Guard(IID_IPropertyBag, L"tqMenuCtl", [&] {
        Variant copy;
        Check(VariantCopy(&copy, value));
        for (auto& [key, stored] : values_) {
            if (key == name) {
                stored = std::move(copy);
                return S_OK;
            }
        }
        values_.emplace_back(name, std::move(copy));
        return S_OK;
    });
}

void MemoryBag::SaveTo(IStream* s) const {
    std::vector<StoredProperty> props;
    props.reserve(values_.size());
    for (const auto& [name, value] : values_) {
        StoredProperty p{String(com::AsPortable(name)), NullObject{}};
        switch (V_VT(&value)) {
            case VT_BOOL:
                p.value = StoredBool{V_BOOL(&value)};
                break;
            case VT_I4:
                p.value = static_cast<int32_t>(V_I4(&value));
                break;
            case VT_BSTR:
                p.value = com::ToPortable(V_BSTR(&value));
                break;
            case VT_UNKNOWN:
            case VT_DISPATCH: {
                IUnknown* obj = V_VT(&value) == VT_UNKNOWN
                                    ? V_UNKNOWN(&value)
                                    : static_cast<IUnknown*>(V_DISPATCH(&value));
                if (obj) p.value = SaveObject(obj, name);
                break;
            }
            default:
                throw tq::Error(tq::hr::kTypeMismatch,
                                u"Tipo de valor que o tqMenu não sabe gravar num stream");
        }
        props.push_back(std::move(p));
    }
    StreamSink sink(s);
    WriteStoredProperties(sink, props, AcceptedClass());
}

void MemoryBag::LoadFrom(IStream* s) {
    // Everything is read and checked before any object is made; an object of another class than
    // MenuTree is refused by its class id alone.
    StreamSource source(s);
    const std::vector<StoredProperty> props = ReadStoredProperties(source, AcceptedClass());
    std::vector<std::pair<std::wstring, Variant>> values;
    values.reserve(props.size());
    for (const StoredProperty& p : props) {
        Variant value;
        if (const auto* b = std::get_if<StoredBool>(&p.value)) {
            V_VT(&value) = VT_BOOL;
            V_BOOL(&value) = b->value;
        } else if (const auto* l = std::get_if<int32_t>(&p.value)) {
            V_VT(&value) = VT_I4;
            V_I4(&value) = *l;
        } else if (const auto* t = std::get_if<String>(&p.value)) {
            value = Variant::FromString(com::AsWide(*t));
        } else {
            V_VT(&value) = VT_UNKNOWN;
            V_UNKNOWN(&value) = nullptr;
            if (const auto* obj = std::get_if<StoredObject>(&p.value))
                V_UNKNOWN(&value) = LoadObject(*obj).Detach();
        }
        values.emplace_back(std::wstring(com::AsWide(p.name)), std::move(value));
    }
    values_ = std::move(values);
}

}  // namespace tq::ctl
