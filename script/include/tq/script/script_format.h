// The pieces of a menu script that do not depend on Windows: the text of one line, the file
// name made from the user's answer, and the folder the script goes to.
//
// A script has one line per menu entry, in depth-first pre-order:
//
//     <indent><caption without "&">*<Nome>^<Nome of the parent, "A" at the top level>
//
// where the indent is three spaces for every level below the top one.  Nothing is escaped: a
// "*" or "^" inside a caption or a Nome is written as it is.
#pragma once

#include <cstddef>

#include "tq/ustring.h"

namespace tq::script {

// Parent key written for the entries of the top level.
inline constexpr char16_t kTopParentKey[] = u"A";
// Extension of a script file; also what is taken out of the user's answer.
inline constexpr char16_t kScriptExtension[] = u".Ini";
// Folder under the drive root that receives the scripts.
inline constexpr char16_t kScriptFolder[] = u"Rudadod\\Controller\\";

// The caption with every "&" removed ("A&&B" gives "AB"); nothing else changes.
String StripAmpersands(StringView caption);

// Appends one script line, without its line end, to `out`.
void AppendLine(String& out, size_t depth, StringView caption, StringView nome,
                StringView parent_key);

// The file name for the user's answer: every ".Ini" removed (case-sensitive, one left-to-right
// pass, as a text Replace does), then ".Ini" appended.  "menu.Ini" -> "menu.Ini",
// "menu.ini" -> "menu.ini.Ini", "x.Ini.Ini" -> "x.Ini", "   " -> "   .Ini".
String ScriptFileName(StringView answer);

// The folder that receives the scripts, from the full path of the control library:
//   "C:\Arquivos\tq\tqMenuCtl.ocx"        -> "C:\Rudadod\Controller\"
//   "\\servidor\share\tq\tqMenuCtl.ocx"   -> "\\servidor\share\Rudadod\Controller\"
//   "\\?\C:\tq\tqMenuCtl.ocx"             -> "C:\Rudadod\Controller\"
//   "\\?\UNC\servidor\share\tqMenuCtl.ocx" -> "\\servidor\share\Rudadod\Controller\"
// A drive path keeps the first three characters of the folder holding the library (its drive
// root).  A path without a drive letter (UNC) has no such root: the share root "\\server\share\"
// takes its place.  "/" is accepted as a separator as Windows does.  Anything else (a relative
// path, a device path, a UNC path without a share) throws tq::Error(kInvalidArg).
String TargetFolder(StringView library_path);

}  // namespace tq::script
