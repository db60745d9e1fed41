// MenuTree: one level of a menu (the creatable class, and every SubMenu), with its persistence.
//
// Item(Index) takes a position 1..Count as any integral number (Integer, Long, Byte, a Double
// with an integral value, ...; by reference too, as script engines pass variables) or a Nome as
// a String.  Anything else fails: DISP_E_BADINDEX for a position out of range, a fractional
// number or an unknown Nome; DISP_E_TYPEMISMATCH for any other type (Empty, Null, Boolean, Date,
// objects, arrays).  Every failure carries an error object with a Portuguese description.
//
// Count is a 16-bit Integer, so a level is limited to 32767 entries: Add refuses the 32768th
// with an overflow error (CTL_E_OVERFLOW) and the level stays as it was, and Load refuses a
// stream with a larger level.  A larger level built through the core directly makes Count fail
// the same way (Item still reaches every entry).
// Add returns the new Count.
//
// ItemPorHnd(Id, Flag1, Flag2, Flag3) looks Id up at any depth below this level.  Id is any
// integral number; Empty, Null and 0 ("no handle") never match, nor does a value no 32-bit
// handle can have; those answer Nothing with S_OK.  The three flags are accepted and ignored.
//
// Persistence.  Stream (IPersistStreamInit / IPersistStream): a 32-bit little-endian byte count
// n, then n bytes of the core's tree format (tq/bib/persist.h).  The count makes the data
// self-delimiting, so a container can write other values after it in the same stream; Load reads
// exactly those bytes.  Property bag (IPersistPropertyBag): "Versao" (Long, 1) and "Dados" (the
// tree format as Base64 text).  A bag without "Dados" loads as an empty tree.  HndMenu is
// run-time state and is not stored.  Load builds a new tree and swaps it in only when the whole
// load succeeded: a corrupt, truncated or hostile input leaves the tree as it was.
//
// IsDirty answers S_OK once the tree changed since it was last loaded, saved with fClearDirty,
// or initialised: any Add or Clear, or any put of a stored property to a different value, at
// any depth and through whichever wrapper (the core's change stamp, so IsDirty costs nothing).
// HndMenu changes do not count.  A change undone by hand still counts.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tq/bib/persist.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "tqbib_private.h"

namespace tq::bib::com {
namespace {

using tq::com::Guard;
using tq::com::Variant;
namespace hr = tq::hr;

// Stream layout: the byte count that precedes the tree format.
constexpr size_t kLengthPrefix = 4;
static_assert(tq::bib::kMaxBytes <= UINT32_MAX, "the byte count is 32-bit");

// The automation types the interfaces carry, the same on both targets: Count and Add's result
// are 16-bit Integers, HndMenu a 32-bit Long, Booleans 16-bit with True = -1.
static_assert(sizeof(short) == 2 && sizeof(LONG) == 4);
static_assert(sizeof(VARIANT_BOOL) == 2 && VARIANT_TRUE == -1);
static_assert(kMaxLevelCount == SHRT_MAX);
// ClassifyNumber reads a Decimal in place and Dereference copies whole VARIANTs.
static_assert(sizeof(DECIMAL) == 16);
static_assert(sizeof(VARIANT) == (sizeof(void*) == 8 ? 24 : 16));
static_assert(sizeof(tq::com::Variant) == sizeof(VARIANT), "Variant adds no data to VARIANT");

tq::String Num(long long v) {
    return tq::FromUtf8(std::to_string(v));
}

tq::String NumReal(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return tq::FromUtf8(buf);
}

tq::String VarTypeName(VARTYPE vt) {
    if (vt & VT_ARRAY) return u"Array";
    switch (vt) {
        case VT_EMPTY:
            return u"Empty";
        case VT_NULL:
            return u"Null";
        case VT_BOOL:
            return u"Boolean";
        case VT_DATE:
            return u"Date";
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return u"Object";
        case VT_ERROR:
            return u"Error";
        default:
            return u"VarType " + Num(vt);
    }
}

// A VARIANT with every level of VT_BYREF taken away.  OLE refuses a VARIANT it cannot copy (an
// unknown VARTYPE) and a by-reference Variant that points to another by-reference one; both are
// reported with the type found.
Variant Dereference(const VARIANT& in) {
    Variant v;
    const HRESULT copied = VariantCopy(&v, const_cast<VARIANT*>(&in));
    if (FAILED(copied))
        throw tq::Error(copied, u"Tipo de Variant inválido: VarType " + Num(V_VT(&in)));
    for (int depth = 0; V_VT(&v) & VT_BYREF; ++depth) {
        const bool nested = V_VT(&v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&v) &&
                            (V_VT(V_VARIANTREF(&v)) & VT_BYREF);
        if (depth == 4 || nested)
            throw tq::Error(hr::kTypeMismatch,
                            u"Tipo de Variant inválido: referência a outra referência");
        Variant inner;
        const HRESULT r = VariantCopyInd(&inner, &v);
        if (FAILED(r)) throw tq::Error(r, u"Tipo de Variant inválido: VarType " + Num(V_VT(&v)));
        v = std::move(inner);
    }
    return v;
}

// Classifies a dereferenced VARIANT as a number; *integral receives an integral value, *real
// the value of a fractional one, or of a whole one beyond the 64-bit range (Huge).
enum class NumberKind { NotNumber, Integral, Huge, Fractional };

// The value of an integer VARIANT (an unsigned 64-bit one past INT64_MAX as INT64_MAX).
bool IntegerOf(const VARIANT& v, int64_t* integral) {
    switch (V_VT(&v)) {
        case VT_I1:
            *integral = V_I1(&v);
            return true;
        case VT_UI1:
            *integral = V_UI1(&v);
            return true;
        case VT_I2:
            *integral = V_I2(&v);
            return true;
        case VT_UI2:
            *integral = V_UI2(&v);
            return true;
        case VT_I4:
        case VT_INT:
            *integral = V_I4(&v);
            return true;
        case VT_UI4:
        case VT_UINT:
            *integral = V_UI4(&v);
            return true;
        case VT_I8:
            *integral = V_I8(&v);
            return true;
        case VT_UI8:
            *integral = V_UI8(&v) > static_cast<ULONGLONG>(INT64_MAX)
                            ? INT64_MAX
                            : static_cast<int64_t>(V_UI8(&v));
            return true;
        default:
            return false;
    }
}

NumberKind ClassifyNumber(const VARIANT& v, int64_t* integral, double* real) {
    auto from_real = [&](double d) {
        *real = d;
        if (!std::isfinite(d) || std::trunc(d) != d) return NumberKind::Fractional;
        if (d >= 9.2e18 || d <= -9.2e18) return NumberKind::Huge;
        *integral = static_cast<int64_t>(d);
        return NumberKind::Integral;
    };
    if (IntegerOf(v, integral)) return NumberKind::Integral;
    switch (V_VT(&v)) {
        case VT_R4:
            return from_real(V_R4(&v));
        case VT_R8:
            return from_real(V_R8(&v));
        case VT_CY:
            if (V_CY(&v).int64 % 10000 == 0) {
                *integral = V_CY(&v).int64 / 10000;
                return NumberKind::Integral;
            }
            *real = static_cast<double>(V_CY(&v).int64) / 10000.0;
            return NumberKind::Fractional;
        case VT_DECIMAL: {
            double d = 0;
            if (FAILED(VarR8FromDec(const_cast<DECIMAL*>(&V_DECIMAL(&v)), &d)))
                return NumberKind::NotNumber;
            return from_real(d);
        }
        default:
            return NumberKind::NotNumber;
    }
}

std::shared_ptr<tq::bib::MenuItem> Lookup(const tq::bib::MenuTree& level, const VARIANT& index) {
    const Variant v = Dereference(index);
    if (V_VT(&v) == VT_BSTR) {
        const tq::String nome = tq::com::ToPortable(V_BSTR(&v));
        if (auto item = level.Find(nome)) return item;
        throw tq::Error(hr::kBadIndex, u"Nome não encontrado: \"" + nome + u"\"");
    }
    int64_t position = 0;
    double real = 0;
    switch (ClassifyNumber(v, &position, &real)) {
        case NumberKind::Integral:
            if (position >= 1 && static_cast<uint64_t>(position) <= level.Count())
                return level.At(static_cast<size_t>(position));
            throw tq::Error(hr::kBadIndex, u"Índice fora do intervalo: " + Num(position) +
                                               u" (Count = " +
                                               Num(static_cast<long long>(level.Count())) + u")");
        case NumberKind::Huge:
            throw tq::Error(hr::kBadIndex, u"Índice fora do intervalo: " + NumReal(real) +
                                               u" (Count = " +
                                               Num(static_cast<long long>(level.Count())) + u")");
        case NumberKind::Fractional:
            throw tq::Error(hr::kBadIndex, u"Índice não inteiro: " + NumReal(real));
        case NumberKind::NotNumber:
            break;
    }
    throw tq::Error(hr::kTypeMismatch, u"Tipo de índice inválido: " + VarTypeName(V_VT(&v)) +
                                           u" (use a posição 1..Count ou o Nome)");
}

// The handle ItemPorHnd looks for, or 0 when `id` can match no entry.
int32_t HandleFrom(const VARIANT& id) {
    const Variant v = Dereference(id);
    if (V_VT(&v) == VT_EMPTY || V_VT(&v) == VT_NULL) return 0;
    int64_t n = 0;
    double real = 0;
    switch (ClassifyNumber(v, &n, &real)) {
        case NumberKind::Integral:
            // Handles are 32-bit; an unsigned 32-bit value is the same handle as its signed twin.
            if (n >= INT32_MIN && n <= static_cast<int64_t>(UINT32_MAX))
                return static_cast<int32_t>(static_cast<uint32_t>(n));
            return 0;
        case NumberKind::Huge:
        case NumberKind::Fractional:
            return 0;
        case NumberKind::NotNumber:
            break;
    }
    throw tq::Error(hr::kTypeMismatch,
                    u"Tipo de Id inválido: " + VarTypeName(V_VT(&v)) + u" (esperado um Long)");
}

// Whole-buffer stream I/O.  IStream implementations may move fewer bytes than asked.
void WriteAll(IStream* stream, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ULONG chunk = static_cast<ULONG>(std::min<size_t>(size, 1u << 30));
        ULONG written = 0;
        const HRESULT r = stream->Write(p, chunk, &written);
        if (FAILED(r)) throw tq::com::ComFailure(r);
        if (written == 0)
            throw tq::Error(static_cast<int32_t>(STG_E_WRITEFAULT), u"Falha ao gravar no fluxo");
        p += written;
        size -= written;
    }
}

// The bytes between the stream's position and its end, or 0 when the stream cannot tell.
uint64_t Remaining(IStream* stream) {
    STATSTG st{};
    ULARGE_INTEGER pos{};
    const LARGE_INTEGER zero{};
    if (FAILED(stream->Stat(&st, STATFLAG_NONAME)) ||
        FAILED(stream->Seek(zero, STREAM_SEEK_CUR, &pos)))
        return 0;
    return st.cbSize.QuadPart > pos.QuadPart ? st.cbSize.QuadPart - pos.QuadPart : 0;
}

// Reads exactly `size` bytes.  The buffer is sized at once when the stream says it holds that
// much, else it grows only as data arrives, so a hostile count costs no more memory than the
// bytes the stream really holds.
std::vector<uint8_t> ReadExactly(IStream* stream, size_t size) {
    std::vector<uint8_t> out;
    out.reserve(Remaining(stream) >= size ? size : std::min<size_t>(size, 1u << 16));
    while (out.size() < size) {
        const size_t want =
            std::min<size_t>(size - out.size(), std::max<size_t>(out.size(), 1u << 16));
        const size_t at = out.size();
        out.resize(at + want);
        ULONG got = 0;
        const HRESULT r = stream->Read(out.data() + at, static_cast<ULONG>(want), &got);
        if (FAILED(r)) throw tq::com::ComFailure(r);
        out.resize(at + got);
        if (got == 0)
            throw tq::Error(hr::kInvalidData, u"Dados de menu truncados: o fluxo terminou após " +
                                                  Num(static_cast<long long>(at)) + u" de " +
                                                  Num(static_cast<long long>(size)) + u" bytes");
    }
    return out;
}

}  // namespace

std::span<const QiEntry> MenuTreeObject::Interfaces() {
    static const QiEntry table[] = {
        TQ_QI(MenuTreeObject, MenuTree),
        TQ_QI_VIA(MenuTreeObject, IDispatch, MenuTree),
        TQ_QI_VIA(MenuTreeObject, IPersist, IPersistStreamInit),
        TQ_QI(MenuTreeObject, IPersistStreamInit),
        TQ_QI(MenuTreeObject, IPersistStream),
        TQ_QI(MenuTreeObject, IPersistPropertyBag),
        TQ_QI(MenuTreeObject, ISupportErrorInfo),
        TQ_QI(MenuTreeObject, IProvideClassInfo),
    };
    return table;
}

HRESULT MenuTreeObject::Create(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        return NewInstance(iid, out, tq::bib::MenuTree::Create());
    } catch (...) {
        return tq::com::HandleCurrentException(IID_MenuTree, kErrorSource);
    }
}

HRESULT MenuTreeObject::Wrap(const std::shared_ptr<tq::bib::MenuTree>& level, ::MenuTree** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!level) return S_OK;
    if (level->peer) {
        *out = static_cast<MenuTreeObject*>(level->peer);
        (*out)->AddRef();
        return S_OK;
    }
    try {
        auto obj = Make(level);
        if (!obj) return E_OUTOFMEMORY;
        *out = obj.get();
        (*out)->AddRef();
        return S_OK;
    } catch (...) {
        return tq::com::HandleCurrentException(IID_MenuTree, kErrorSource);
    }
}

MenuTreeObject::MenuTreeObject(std::shared_ptr<tq::bib::MenuTree> level)
    : level_(std::move(level)) {
    // An empty level starts clean; a level that already has entries (a SubMenu reached by
    // navigation) was never saved by this object and starts dirty.
    if (level_->Count() == 0) clean_ = level_->ChangeStamp();
    level_->peer = this;
}

MenuTreeObject::~MenuTreeObject() {
    if (level_->peer == this) level_->peer = nullptr;
}

HRESULT MenuTreeObject::get_Count(short* value) {
    if (!value) return E_POINTER;
    return Guard(IID_MenuTree, kErrorSource, [&] {
        const size_t n = level_->Count();
        if (n > kMaxLevelCount)
            throw tq::Error(hr::kOverflow, u"Estouro: o nível tem " +
                                               Num(static_cast<long long>(n)) +
                                               u" entradas e Count vai só até 32767");
        *value = static_cast<short>(n);
        return S_OK;
    });
}

HRESULT MenuTreeObject::get_Item(VARIANT index, ::MenuItem** value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return Guard(IID_MenuTree, kErrorSource,
                 [&] { return MenuItemObject::Wrap(Lookup(*level_, index), value); });
}

HRESULT MenuTreeObject::Add(BSTR* caption, BSTR* nome, short* value) {
    if (!caption || !nome || !value) return E_POINTER;
    return Guard(IID_MenuTree, kErrorSource, [&] {
        if (level_->Count() >= kMaxLevelCount)
            throw tq::Error(hr::kOverflow,
                            u"Estouro: um nível não pode ter mais de 32767 entradas");
        level_->Add(tq::com::ToPortable(*caption), tq::com::ToPortable(*nome));
        *value = static_cast<short>(level_->Count());
        return S_OK;
    });
}

HRESULT MenuTreeObject::Clear(VARIANT* value) {
    if (value) VariantInit(value);
    return Guard(IID_MenuTree, kErrorSource, [&] {
        level_->Clear();
        return S_OK;
    });
}

HRESULT MenuTreeObject::ItemPorHnd(VARIANT id, VARIANT_BOOL*, VARIANT_BOOL*, VARIANT_BOOL*,
                                   ::MenuItem** value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return Guard(IID_MenuTree, kErrorSource, [&] {
        const int32_t hnd = HandleFrom(id);
        if (hnd == 0) return S_OK;
        return MenuItemObject::Wrap(level_->ItemPorHnd(hnd), value);
    });
}

HRESULT MenuTreeObject::get__NewEnum(IUnknown** value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    auto e = ItemEnumObject::Make(level_, 0);
    if (!e) return E_OUTOFMEMORY;
    return e->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(value));
}

HRESULT MenuTreeObject::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_MenuTreeClass;
    return S_OK;
}

HRESULT MenuTreeObject::IsDirty() {
    return Guard(IID_IPersistStreamInit, kErrorSource,
                 [&] { return clean_ == level_->ChangeStamp() ? S_FALSE : S_OK; });
}

void MenuTreeObject::TakeLoaded(tq::bib::MenuTree& loaded) {
    level_->SwapContents(loaded);
    clean_ = level_->ChangeStamp();
}

HRESULT MenuTreeObject::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    return Guard(IID_IPersistStreamInit, kErrorSource, [&] {
        const std::vector<uint8_t> prefix = ReadExactly(stream, kLengthPrefix);
        const size_t size = static_cast<size_t>(prefix[0]) | static_cast<size_t>(prefix[1]) << 8 |
                            static_cast<size_t>(prefix[2]) << 16 |
                            static_cast<size_t>(prefix[3]) << 24;
        if (size > tq::bib::kMaxBytes)
            throw tq::Error(hr::kInvalidData, u"Dados de menu grandes demais: " +
                                                  Num(static_cast<long long>(size)) + u" bytes");
        const std::vector<uint8_t> data = ReadExactly(stream, size);
        const std::shared_ptr<tq::bib::MenuTree> loaded = tq::bib::LoadTree(data);
        TakeLoaded(*loaded);
        return S_OK;
    });
}

HRESULT MenuTreeObject::Save(IStream* stream, BOOL clear_dirty) {
    if (!stream) return E_POINTER;
    return Guard(IID_IPersistStreamInit, kErrorSource, [&] {
        const std::vector<uint8_t> data = tq::bib::SaveTree(*level_);
        const uint32_t n = static_cast<uint32_t>(data.size());
        const uint8_t prefix[kLengthPrefix] = {
            static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
            static_cast<uint8_t>(n >> 24)};
        WriteAll(stream, prefix, sizeof prefix);
        WriteAll(stream, data.data(), data.size());
        if (clear_dirty) clean_ = level_->ChangeStamp();
        return S_OK;
    });
}

HRESULT MenuTreeObject::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    return Guard(IID_IPersistStreamInit, kErrorSource, [&] {
        size->QuadPart = kLengthPrefix + tq::bib::SaveTree(*level_).size();
        return S_OK;
    });
}

HRESULT MenuTreeObject::InitNew() {
    return Guard(IID_IPersistStreamInit, kErrorSource, [&] {
        level_->Clear();
        clean_ = level_->ChangeStamp();
        return S_OK;
    });
}

HRESULT MenuTreeObject::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    return Guard(IID_IPersistPropertyBag, kErrorSource, [&] {
        Variant version;
        V_VT(&version) = VT_I4;
        // A bag answers E_INVALIDARG for a value it does not hold: no "Versao" means layout 1.
        HRESULT r = bag->Read(kBagVersion, &version, log);
        if (r != E_INVALIDARG) {
            tq::com::Check(r, L"\"Versao\" não é um número");
            tq::com::Check(VariantChangeType(&version, &version, 0, VT_I4),
                           L"\"Versao\" não é um número");
            if (V_I4(&version) != kBagLayoutVersion)
                throw tq::Error(hr::kOldFormat,
                                u"Versão de dados de menu não suportada: " + Num(V_I4(&version)));
        }
        Variant data;
        V_VT(&data) = VT_BSTR;
        r = bag->Read(kBagData, &data, log);
        std::shared_ptr<tq::bib::MenuTree> loaded;
        if (r == E_INVALIDARG) {
            loaded = tq::bib::MenuTree::Create();  // nothing stored: an empty tree
        } else {
            tq::com::Check(r, L"\"Dados\" não é texto");
            tq::com::Check(VariantChangeType(&data, &data, 0, VT_BSTR), L"\"Dados\" não é texto");
            loaded = tq::bib::LoadTree(tq::bib::DecodeBase64(tq::com::ToPortable(V_BSTR(&data))));
        }
        TakeLoaded(*loaded);
        return S_OK;
    });
}

HRESULT MenuTreeObject::Save(IPropertyBag* bag, BOOL clear_dirty, BOOL) {
    if (!bag) return E_POINTER;
    return Guard(IID_IPersistPropertyBag, kErrorSource, [&] {
        const std::vector<uint8_t> bytes = tq::bib::SaveTree(*level_);
        Variant version = Variant::FromLong(kBagLayoutVersion);
        tq::com::Check(bag->Write(kBagVersion, &version));
        const tq::String text = tq::bib::EncodeBase64(bytes);
        Variant data = Variant::FromString(tq::com::AsWide(text));
        if (!V_BSTR(&data)) throw std::bad_alloc();
        tq::com::Check(bag->Write(kBagData, &data));
        if (clear_dirty) clean_ = level_->ChangeStamp();
        return S_OK;
    });
}

HRESULT MenuTreeObject::InterfaceSupportsErrorInfo(REFIID iid) {
    static const IID* const iids[] = {&IID_MenuTree, &IID_IPersistStreamInit, &IID_IPersistStream,
                                      &IID_IPersistPropertyBag};
    return tq::com::SupportsErrorInfo(iids, iid);
}

HRESULT MenuTreeObject::GetClassInfo(ITypeInfo** out) {
    return tq::com::Module::TypeInfo(CLSID_MenuTreeClass, out);
}

}  // namespace tq::bib::com
