#include "property_bag.h"

#include <cstdint>
#include <cstring>

#include "tq/com/error_info.h"
#include "tq/error.h"

namespace tq::ctl {

using com::Check;
using com::ComPtr;
using com::Variant;

namespace {

void WriteBytes(IStream* s, const void* data, ULONG size) {
    ULONG written = 0;
    Check(s->Write(data, size, &written));
    if (written != size) throw tq::Error(STG_E_MEDIUMFULL, u"Não foi possível gravar o tqMenu");
}

void ReadBytes(IStream* s, void* data, ULONG size) {
    if (size == 0) return;
    ULONG got = 0;
    Check(s->Read(data, size, &got));
    if (got != size)
        throw tq::Error(tq::hr::kStreamRead, u"As propriedades do tqMenu estão truncadas");
}

template <class T>
void Put(IStream* s, T v) {
    WriteBytes(s, &v, sizeof(v));
}
template <class T>
T Get(IStream* s) {
    T v{};
    ReadBytes(s, &v, sizeof(v));
    return v;
}

void PutString(IStream* s, std::wstring_view text, bool long_length) {
    if (long_length)
        Put<uint32_t>(s, static_cast<uint32_t>(text.size()));
    else
        Put<uint16_t>(s, static_cast<uint16_t>(text.size()));
    WriteBytes(s, text.data(), static_cast<ULONG>(text.size() * sizeof(wchar_t)));
}

std::wstring GetString(IStream* s, bool long_length) {
    const uint32_t n = long_length ? Get<uint32_t>(s) : Get<uint16_t>(s);
    if (n > (1u << 24)) throw tq::Error(tq::hr::kInvalidData, u"Texto grande demais no tqMenu");
    std::wstring text(n, L'\0');
    ReadBytes(s, text.data(), n * static_cast<ULONG>(sizeof(wchar_t)));
    return text;
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
    WriteBytes(s, kMagic, sizeof(kMagic));
    Put<uint16_t>(s, kVersion);
    Put<uint16_t>(s, static_cast<uint16_t>(values_.size()));
    for (const auto& [name, value] : values_) {
        PutString(s, name, false);
        switch (V_VT(&value)) {
            case VT_BOOL:
                Put<uint16_t>(s, VT_BOOL);
                Put<int16_t>(s, V_BOOL(&value));
                break;
            case VT_I4:
                Put<uint16_t>(s, VT_I4);
                Put<int32_t>(s, V_I4(&value));
                break;
            case VT_BSTR:
                Put<uint16_t>(s, VT_BSTR);
                PutString(s, {V_BSTR(&value) ? V_BSTR(&value) : L"", SysStringLen(V_BSTR(&value))},
                          true);
                break;
            case VT_UNKNOWN:
            case VT_DISPATCH: {
                Put<uint16_t>(s, VT_UNKNOWN);
                IUnknown* obj = V_VT(&value) == VT_UNKNOWN
                                    ? V_UNKNOWN(&value)
                                    : static_cast<IUnknown*>(V_DISPATCH(&value));
                if (!obj) {
                    Put<CLSID>(s, CLSID_NULL);
                    break;
                }
                ComPtr<IPersistStream> persist;
                Check(obj->QueryInterface(IID_IPersistStream, persist.put_void()),
                      L"O objeto guardado em \"" + name + L"\" não sabe se gravar num stream");
                Check(OleSaveToStream(persist.get(), s));
                break;
            }
            default:
                throw tq::Error(tq::hr::kTypeMismatch,
                                u"Tipo de valor que o tqMenu não sabe gravar num stream");
        }
    }
}

void MemoryBag::LoadFrom(IStream* s) {
    char magic[4] = {};
    ReadBytes(s, magic, sizeof(magic));
    if (std::memcmp(magic, kMagic, sizeof(magic)) != 0)
        throw tq::Error(tq::hr::kInvalidData, u"O stream não contém propriedades de um tqMenu");
    const uint16_t version = Get<uint16_t>(s);
    if (version != kVersion)
        throw tq::Error(tq::hr::kOldFormat,
                        u"As propriedades do tqMenu estão numa versão desconhecida do formato");
    const uint16_t count = Get<uint16_t>(s);
    std::vector<std::pair<std::wstring, Variant>> values;
    for (uint16_t i = 0; i < count; ++i) {
        std::wstring name = GetString(s, false);
        Variant value;
        const uint16_t vt = Get<uint16_t>(s);
        switch (vt) {
            case VT_BOOL:
                V_VT(&value) = VT_BOOL;
                V_BOOL(&value) = Get<int16_t>(s);
                break;
            case VT_I4:
                V_VT(&value) = VT_I4;
                V_I4(&value) = Get<int32_t>(s);
                break;
            case VT_BSTR: {
                const std::wstring text = GetString(s, true);
                value = Variant::FromString(text);
                break;
            }
            case VT_UNKNOWN: {
                // OleLoadFromStream reads the class id itself; peek for the null one first.
                LARGE_INTEGER back{};
                const CLSID clsid = Get<CLSID>(s);
                V_VT(&value) = VT_UNKNOWN;
                V_UNKNOWN(&value) = nullptr;
                if (IsEqualCLSID(clsid, CLSID_NULL)) break;
                back.QuadPart = -static_cast<LONGLONG>(sizeof(CLSID));
                Check(s->Seek(back, STREAM_SEEK_CUR, nullptr));
                Check(OleLoadFromStream(s, IID_IUnknown,
                                        reinterpret_cast<void**>(&V_UNKNOWN(&value))));
                break;
            }
            default:
                throw tq::Error(tq::hr::kInvalidData,
                                u"As propriedades do tqMenu contêm um tipo de valor desconhecido");
        }
        values.emplace_back(std::move(name), std::move(value));
    }
    values_ = std::move(values);
}

}  // namespace tq::ctl
