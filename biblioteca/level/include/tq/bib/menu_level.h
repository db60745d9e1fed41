// One level of a MenuTree as its clients see it: the property page's designer reads and rebuilds
// the tree through it, the script writer walks it, and the control's menu bar builds itself from
// it.  On Windows the implementation is the one over tqBiblioteca's COM MenuTree
// (com_menu_level.h); the tests implement it over the portable core.  Everything is value-typed
// (tq::String, bool, int32_t), so an implementation over a vtable is a line per member.
//
// Setters take their value by value, so that a caller can move a string in.
//
// Handles: Item and SubMenu return small handle objects for the stored entry or level, not
// copies; what is written through one handle is seen through every later one, and nothing is
// cached: every call asks the tree as it is now.  A handle stays usable for as long as its
// implementation keeps the object alive (the COM one holds a reference).  Every failure is
// thrown (tq::Error, or tq::com::ComFailure from a failed COM call).
#pragma once

#include <cstdint>
#include <memory>

#include "tq/ustring.h"

namespace tq::bib {

class IMenuEntry;

// One level of a menu: an ordered list of entries counted from 1.
class IMenuLevel {
  public:
    virtual ~IMenuLevel() = default;

    // Entries of this level only.
    virtual int32_t Count() = 0;
    // The entry at 1-based `position`; an error when there is none.
    virtual std::unique_ptr<IMenuEntry> Item(int32_t position) = 0;
    // The first entry of this level whose Nome equals `nome` exactly; an error when none.
    virtual std::unique_ptr<IMenuEntry> Item(const String& nome) = 0;
    // Appends an entry with that Caption and Nome and an empty SubMenu.
    virtual void Add(const String& caption, const String& nome) = 0;
    // Removes every entry.
    virtual void Clear() = 0;
};

// One menu entry.
class IMenuEntry {
  public:
    virtual ~IMenuEntry() = default;

    virtual String Caption() = 0;
    virtual void SetCaption(String v) = 0;
    virtual String Nome() = 0;  // read-only: given to Add
    virtual String TextoMenu() = 0;
    virtual void SetTextoMenu(String v) = 0;
    virtual String TeclaExtenso() = 0;
    virtual void SetTeclaExtenso(String v) = 0;
    virtual String Descricao() = 0;
    virtual void SetDescricao(String v) = 0;
    virtual bool MenuConsulta() = 0;
    virtual void SetMenuConsulta(bool v) = 0;
    virtual bool Visivel() = 0;
    virtual void SetVisivel(bool v) = 0;
    virtual bool VisivelDefault() = 0;
    virtual void SetVisivelDefault(bool v) = 0;
    virtual bool Habilitado() = 0;
    virtual void SetHabilitado(bool v) = 0;
    virtual bool HabilitadoDefault() = 0;
    virtual void SetHabilitadoDefault(bool v) = 0;
    // The menu handle or command identifier the control's bar gave the entry (not persistent).
    virtual int32_t HndMenu() = 0;
    virtual void SetHndMenu(int32_t v) = 0;

    // The child level: never null, empty for a leaf.
    virtual std::unique_ptr<IMenuLevel> SubMenu() = 0;
};

}  // namespace tq::bib
