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

// Why a script name is refused.  A name is taken only when its file stays in the scripts'
// folder and is an ordinary file there.
enum class NameProblem {
    kNone,
    kFolder,              // a separator ("\\" or "/") or "..": it would leave the folder
    kInvalidCharacter,    // < > : " | ? * or a control character
    kTrailingDotOrSpace,  // the name ends in "." or " ", which Windows strips from names
    kReservedName,        // CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension, any case
    kTooLong,             // folder + file name reach MAX_PATH (260, the terminator included)
};

// Checks the file that the user's answer names (ScriptFileName of it) inside `folder`, the
// folder TargetFolder gives, before anything is written.  The name is the file name without
// its ".Ini"; a device name is looked for in the file name's part before its first dot, trailing
// spaces dropped ("nul.txt", "Com1 " and "NUL" all name a device).  The rules are tried in the
// order of the enumeration; the first one broken is answered.
NameProblem CheckScriptName(StringView folder, StringView answer);

// The message box text for a refused name, in the user's language.
String NameProblemText(NameProblem problem, StringView answer);

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
