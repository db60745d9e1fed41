// The COM classes of tqBiblioteca.dll: thin shells over the portable core (tq::bib).
//
// Identity: a core level or entry carries its live wrapper in `peer`, so one level or entry
// answers with one COM identity however it is reached (Item, SubMenu, ItemPorHnd, For Each).
// A wrapper holds its core object by shared_ptr and clears `peer` when it dies; the core never
// holds a wrapper, so there is no reference cycle.
//
// Threads: the classes are apartment-threaded, as registered.  A tree and all its wrappers
// belong to the thread that created the tree.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "tqBiblioteca.h"
#include "tq/bib/menu_tree.h"
#include "tq/com/dispatch.h"
#include "tq/com/error_info.h"
#include "tq/com/object.h"

namespace tq::bib::com {

using tq::com::ComObject;
using tq::com::DispatchImpl;
using tq::com::QiEntry;

// Source text of this library's error objects.
inline constexpr wchar_t kErrorSource[] = L"tqBiblioteca";

// The largest level COM clients can see: Count is a 16-bit Integer.
inline constexpr size_t kMaxLevelCount = 32767;

// Names of the values IPersistPropertyBag reads and writes.
inline constexpr wchar_t kBagVersion[] = L"Versao";  // layout of the bag values (Long, 1)
inline constexpr wchar_t kBagData[] = L"Dados";      // base64 of the stream format (String)
inline constexpr LONG kBagLayoutVersion = 1;

class MenuTreeObject final
    : public ComObject<MenuTreeObject, DispatchImpl<::MenuTree, &IID_MenuTree>, IPersistStreamInit,
                       IPersistStream, IPersistPropertyBag, ISupportErrorInfo, IProvideClassInfo> {
  public:
    static std::span<const QiEntry> Interfaces();

    // The class factory's entry: a new, empty tree.
    static HRESULT Create(REFIID iid, void** out);
    // The wrapper of `level`: its live one if there is one, else a new one.
    static HRESULT Wrap(const std::shared_ptr<tq::bib::MenuTree>& level, ::MenuTree** out);

    explicit MenuTreeObject(std::shared_ptr<tq::bib::MenuTree> level);
    ~MenuTreeObject();

    // MenuTree
    IFACEMETHODIMP get_Count(short* value) override;
    IFACEMETHODIMP get_Item(VARIANT index, ::MenuItem** value) override;
    IFACEMETHODIMP Add(BSTR* caption, BSTR* nome, short* value) override;
    IFACEMETHODIMP Clear(VARIANT* value) override;
    IFACEMETHODIMP ItemPorHnd(VARIANT id, VARIANT_BOOL* flag1, VARIANT_BOOL* flag2,
                              VARIANT_BOOL* flag3, ::MenuItem** value) override;
    IFACEMETHODIMP get__NewEnum(IUnknown** value) override;

    // IPersist (shared by the three persistence interfaces)
    IFACEMETHODIMP GetClassID(CLSID* clsid) override;
    // IPersistStreamInit and IPersistStream (the same methods serve both)
    IFACEMETHODIMP IsDirty() override;
    IFACEMETHODIMP Load(IStream* stream) override;
    IFACEMETHODIMP Save(IStream* stream, BOOL clear_dirty) override;
    IFACEMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    // IPersistStreamInit and IPersistPropertyBag
    IFACEMETHODIMP InitNew() override;
    // IPersistPropertyBag
    IFACEMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    IFACEMETHODIMP Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) override;

    // ISupportErrorInfo
    IFACEMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;
    // IProvideClassInfo
    IFACEMETHODIMP GetClassInfo(ITypeInfo** out) override;

  private:
    // Replaces the contents of the level with those of `loaded` (a fresh root) and makes the
    // loaded state the clean one.
    void TakeLoaded(tq::bib::MenuTree& loaded);

    std::shared_ptr<tq::bib::MenuTree> level_;
    // The level's change stamp when it was last loaded, saved (clearing dirty) or initialised;
    // none when this object never had such a state (then IsDirty answers S_OK).
    std::optional<uint64_t> clean_;
};

class MenuItemObject final
    : public ComObject<MenuItemObject, DispatchImpl<::MenuItem, &IID_MenuItem>, ISupportErrorInfo> {
  public:
    static std::span<const QiEntry> Interfaces();

    // The wrapper of `item`: its live one if there is one, else a new one.
    static HRESULT Wrap(const std::shared_ptr<tq::bib::MenuItem>& item, ::MenuItem** out);

    explicit MenuItemObject(std::shared_ptr<tq::bib::MenuItem> item);
    ~MenuItemObject();

    IFACEMETHODIMP get_TextoMenu(BSTR* value) override;
    IFACEMETHODIMP put_TextoMenu(BSTR value) override;
    IFACEMETHODIMP get_Caption(BSTR* value) override;
    IFACEMETHODIMP put_Caption(BSTR value) override;
    IFACEMETHODIMP get_Descricao(BSTR* value) override;
    IFACEMETHODIMP put_Descricao(BSTR value) override;
    IFACEMETHODIMP get_Nome(BSTR* value) override;
    IFACEMETHODIMP get_HndMenu(LONG* value) override;
    IFACEMETHODIMP put_HndMenu(LONG value) override;
    IFACEMETHODIMP get_TeclaExtenso(BSTR* value) override;
    IFACEMETHODIMP put_TeclaExtenso(BSTR value) override;
    IFACEMETHODIMP get_MenuConsulta(VARIANT_BOOL* value) override;
    IFACEMETHODIMP put_MenuConsulta(VARIANT_BOOL value) override;
    IFACEMETHODIMP get_Visivel(VARIANT_BOOL* value) override;
    IFACEMETHODIMP put_Visivel(VARIANT_BOOL value) override;
    IFACEMETHODIMP get_VisivelDefault(VARIANT_BOOL* value) override;
    IFACEMETHODIMP put_VisivelDefault(VARIANT_BOOL value) override;
    IFACEMETHODIMP get_Habilitado(VARIANT_BOOL* value) override;
    IFACEMETHODIMP put_Habilitado(VARIANT_BOOL value) override;
    IFACEMETHODIMP get_HabilitadoDefault(VARIANT_BOOL* value) override;
    IFACEMETHODIMP put_HabilitadoDefault(VARIANT_BOOL value) override;
    IFACEMETHODIMP get_SubMenu(::MenuTree** value) override;

    IFACEMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

  private:
    std::shared_ptr<tq::bib::MenuItem> item_;
};

// IEnumVARIANT over one level (For Each).  It walks the live level by position: entries added
// during the walk are visited, and Clear ends it.
class ItemEnumObject final : public ComObject<ItemEnumObject, IEnumVARIANT> {
  public:
    static std::span<const QiEntry> Interfaces();

    ItemEnumObject(std::shared_ptr<tq::bib::MenuTree> level, size_t next);

    IFACEMETHODIMP Next(ULONG count, VARIANT* items, ULONG* fetched) override;
    IFACEMETHODIMP Skip(ULONG count) override;
    IFACEMETHODIMP Reset() override;
    IFACEMETHODIMP Clone(IEnumVARIANT** out) override;

  private:
    std::shared_ptr<tq::bib::MenuTree> level_;
    size_t next_;  // 0-based position of the next entry to hand out
};

}  // namespace tq::bib::com
