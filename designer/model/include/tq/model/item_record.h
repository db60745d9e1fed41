// The item field record: the fixed-width string in which the designer keeps an entry's shortcut,
// "Consulta" flag, name and description, one record per designer node (in the node's Tag).
//
// Layout, positions counted from 1, fields left-aligned and padded with spaces, separated by
// the character 3 (ETX):
//   1      Ctrl flag "1"/"0"        2      Shift flag "1"/"0"     3-15   key name (13)
//   16     ETX                      17-19  MenuConsulta "1"/"0" (3)
//   20     ETX                      21-70  Nome (50)
//   71     ETX                      72-121 Descricao (50)
// Positions 1-15 together are the field "Tecla".
#pragma once

#include <cstddef>
#include <span>

#include "tq/model/value.h"
#include "tq/ustring.h"

namespace tq::model {

inline constexpr size_t kTamanhoRegistro = 121;
inline constexpr size_t kTamanhoTecla = 13;  // key name, positions 3-15
inline constexpr size_t kTamanhoNome = 50;
inline constexpr size_t kTamanhoDescricao = 50;
inline constexpr char16_t kSeparador = u'\x03';

// The record every write starts from when it is given an empty record.
const String& RegistroVazio();

// The 38 shortcut key names of the page's key list, in list order: "F1".."F12", "A".."Z".
std::span<const String> NomesTeclas();

// Writes one field and returns the new record; `registro` itself is not changed.
//   "Tecla"        a written-out shortcut ("Ctrl+Shift+F5", "+F2", "F2") or, when it starts
//                  with a digit, the packed form ("11F5", "00")
//   "MenuConsulta" "1" when the value's text is "1" or "True" (case-sensitive), else "0"
//   "Nome", "Descricao"
// The value is taken as text, trimmed of spaces.  Any other field name returns the record
// unchanged.  A value longer than its field is cut at the field's width: a write never spills
// into the next field.  A non-empty record of another length than 121 is first brought to the
// record's shape (cut, or completed from the empty record).
// The record is taken by value: r = DefineCampo(v, campo, std::move(r)) writes in place.
String DefineCampo(const Value& valor, StringView campo, String registro);

// Reads one field.  An empty record, or a name not listed here, gives Empty.
//   "TeclaExtenso" String, the shortcut written out ("Ctrl+Shift+F5", "" when no key)
//   "TeclaCtrl", "TeclaShift"  Double, the digit at position 1 or 2 (0 for anything else)
//   "TeclaCombo"   Integer, index in `teclas` of the first name equal to the key, or -1
//   "MenuConsulta" Boolean; a field never written (spaces) reads as False
//   "Nome", "Descricao"  String, trimmed
// Positions past the end of a shorter string read as empty (the root's tag "Raiz" gives "" for
// "Nome").
Value LeCampo(StringView registro, StringView campo,
              std::span<const String> teclas = NomesTeclas());

}  // namespace tq::model
