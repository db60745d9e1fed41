// The menu data: a tree of menu levels (MenuTree) whose entries (MenuItem) each own a child
// level.  This is the portable core of tqBiblioteca; the COM classes are thin shells over it.
//
// Child levels are made on first use: SubMenu() of a leaf creates its (empty) level the first
// time it is asked, so the many leaves of a loaded or built tree carry no level object.  Walks
// that only read use Children(), which never creates one.
//
// Ownership: levels and entries are held by std::shared_ptr.  A level owns its entries; an entry
// owns its child level and knows the level it belongs to (Parent(); null once the entry was
// removed by Clear or its level died).  The COM shell caches its wrapper object in `peer` so that
// one entry always answers with the same COM identity.
//
// Handle index: every level of one hierarchy shares one index from HndMenu to entries, kept up
// to date by every SetHndMenu, Add and Clear, so ItemPorHnd costs the same for 10 entries or
// 100,000, at any depth (plus a walk up the parents to check that the entry found lies below the
// level asked, O(depth)).  HndMenu 0 means "no handle" and is never indexed nor matched.
//
// Name index: each level keeps an index from Nome to its entries in position order, built on the
// first Find and then kept in step by Add, SetNome and Clear, so that bulk loading pays nothing
// for it and Find never scans the level.
//
// Depth: nothing here recurses along the tree.  Destruction, Clear, TotalCount and the persistence
// code walk it with explicit stacks, so a chain of 100,000 nested levels is handled like any
// other tree.
//
// Threads: like the COM objects on top of it, a hierarchy belongs to one thread (apartment
// threaded).  Distinct hierarchies may be used from distinct threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "tq/ustring.h"

namespace tq::bib {

class MenuTree;
struct HndIndex;
struct NameIndex;
struct TreeImpl;

class MenuItem : public std::enable_shared_from_this<MenuItem> {
  public:
    // Properties.  A new entry is visible and enabled (both current and default values true),
    // not a "Consulta" entry, with HndMenu 0 and empty strings; TextoMenu reads as Caption until
    // it is put.
    //
    // Putting a persistent property (all but HndMenu) to a different value counts as a change
    // of the hierarchy (MenuTree::ChangeStamp); putting the value it has does not.
    const String& Caption() const { return caption_; }
    void SetCaption(String v) { Put(caption_, std::move(v)); }
    const String& TextoMenu() const { return texto_set_ ? texto_ : caption_; }
    void SetTextoMenu(String v);
    bool TextoMenuWasSet() const { return texto_set_; }
    const String& Descricao() const { return descricao_; }
    void SetDescricao(String v) { Put(descricao_, std::move(v)); }
    const String& Nome() const { return nome_; }  // read-only through COM; set by Add
    void SetNome(String v);                       // keeps the level's name index in step
    int32_t HndMenu() const { return hnd_; }
    // Puts the handle and makes this entry the last one to have taken it: ItemPorHnd prefers it
    // over earlier holders of the same value (putting the same value again counts as taking it).
    void SetHndMenu(int32_t v);
    const String& TeclaExtenso() const { return tecla_; }
    void SetTeclaExtenso(String v) { Put(tecla_, std::move(v)); }
    bool MenuConsulta() const { return consulta_; }
    void SetMenuConsulta(bool v) { Put(consulta_, v); }
    bool Visivel() const { return visivel_; }
    void SetVisivel(bool v) { Put(visivel_, v); }
    bool VisivelDefault() const { return visivel_default_; }
    void SetVisivelDefault(bool v) { Put(visivel_default_, v); }
    bool Habilitado() const { return habilitado_; }
    void SetHabilitado(bool v) { Put(habilitado_, v); }
    bool HabilitadoDefault() const { return habilitado_default_; }
    void SetHabilitadoDefault(bool v) { Put(habilitado_default_, v); }

    // The child level: never null, empty for a leaf; made on the first call (may throw
    // std::bad_alloc then).  The same level every time after.
    const std::shared_ptr<MenuTree>& SubMenu() const;
    // The child level if it exists, else null (a leaf whose SubMenu was never asked for).
    const MenuTree* Children() const { return sub_.get(); }

    // The level this entry belongs to, or null once it was removed by Clear (or its level died).
    std::shared_ptr<MenuTree> Parent() const;

    // Opaque slot for the COM wrapper of this entry (not owned; the wrapper clears it).
    void* peer = nullptr;

    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;
    ~MenuItem();

  private:
    friend class MenuTree;
    friend struct TreeImpl;
    struct Private {};

    void Put(String& field, String v);
    void Put(bool& field, bool v);
    void Changed() noexcept;  // a persistent property changed: stamps the hierarchy

  public:
    explicit MenuItem(Private) {}

  private:
    String caption_, texto_, descricao_, nome_, tecla_;
    int32_t hnd_ = 0;
    bool texto_set_ = false;
    bool consulta_ = false;
    bool visivel_ = true, visivel_default_ = true;
    bool habilitado_ = true, habilitado_default_ = true;
    bool hnd_linked_ = false;                // linked into level_->index_ under hnd_
    mutable std::shared_ptr<MenuTree> sub_;  // made by SubMenu() on first use
    MenuTree* level_ = nullptr;  // the level holding this entry; cleared when it lets go
    size_t pos_ = 0;             // 0-based position in level_ (entries are only ever appended)
    // Links of the handle index: entries carrying the same HndMenu, oldest take first.
    MenuItem* hnd_prev_ = nullptr;
    MenuItem* hnd_next_ = nullptr;
    uint64_t hnd_seq_ = 0;  // when this entry last took its handle (global, increasing)
    // Links of the level's name index: entries with the same Nome, in position order.
    MenuItem* name_prev_ = nullptr;
    MenuItem* name_next_ = nullptr;
};

class MenuTree : public std::enable_shared_from_this<MenuTree> {
  public:
    static std::shared_ptr<MenuTree> Create();

    // Entries of this level only.
    size_t Count() const { return items_.size(); }

    // 1-based position; null when out of range.
    std::shared_ptr<MenuItem> At(size_t position) const;

    // The first entry of this level whose Nome equals `nome` exactly; null when none.
    // Hash lookup: no scan of the level.
    std::shared_ptr<MenuItem> Find(StringView nome) const;

    // Appends an entry with that Caption and Nome and an empty SubMenu (made when first asked);
    // returns it.
    std::shared_ptr<MenuItem> Add(String caption, String nome);

    // Removes every entry.  Removed entries (and their subtrees) leave this hierarchy's handle
    // index; a client still holding one can use it, but it is no longer found from here.  A kept
    // subtree gets a handle index of its own, so ItemPorHnd still works inside it.
    void Clear();

    // The entry at any depth below this level whose HndMenu equals `hnd`; null when none or
    // when hnd is 0.  When several entries carry the same handle, the one that took it last
    // among those below this level is answered.
    std::shared_ptr<MenuItem> ItemPorHnd(int32_t hnd) const;

    // All entries of this level and below, depth-first pre-order.
    size_t TotalCount() const;

    // A value that changes whenever what SaveTree would write for this level may have changed:
    // every Add, Clear and SwapContents, and every change of a persistent property of an entry,
    // anywhere in the hierarchy this level belongs to.  HndMenu does not count.  Values are
    // never reused, so a client keeps the value of its clean state and compares (IsDirty).
    uint64_t ChangeStamp() const;

    // Exchanges the whole contents (entries and subtrees) of two levels, fixing parent links and
    // handle indices; the levels keep their identities.  Used to load into a fresh tree and swap
    // only on success.  Cheap (independent of the subtrees' size) for two roots; any two levels
    // work, except when one lies inside the other (tq::Error kInvalidArg, nothing changed).
    void SwapContents(MenuTree& other);

    const std::vector<std::shared_ptr<MenuItem>>& Items() const { return items_; }

    void* peer = nullptr;  // COM wrapper slot, as for MenuItem

    MenuTree(const MenuTree&) = delete;
    MenuTree& operator=(const MenuTree&) = delete;
    ~MenuTree();

  private:
    friend class MenuItem;
    friend struct TreeImpl;
    struct Private {};

  public:
    explicit MenuTree(Private);

  private:
    // Implementation details live in menu_tree.cpp (TreeImpl).
    std::vector<std::shared_ptr<MenuItem>> items_;
    mutable std::unique_ptr<NameIndex> names_;  // built on the first Find
    std::shared_ptr<HndIndex> index_;           // shared by all levels of one hierarchy
    MenuItem* owner_ = nullptr;                 // the entry whose SubMenu this is; null for a root
};

}  // namespace tq::bib
