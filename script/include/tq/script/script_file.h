// Writing a script file through Scripting.FileSystemObject.
#pragma once

#include <windows.h>

#include <string_view>

#include "tq/script/script_writer.h"

namespace tq::script {

// How the lines reach the file.  Both give the same bytes: each line, then CR LF.
enum class WriteMode {
    kLinePerCall,  // one TextStream.WriteLine call per line
    kBatched,      // lines joined with CR LF, handed over in TextStream.Write calls of ~32K chars
};

// Creates (or replaces) the file at `path` with the FileSystemObject, created by its ProgID at
// run time and late bound: CreateTextFile(path, True), the lines, Close.  The text is single-byte
// in the ANSI code page with CR LF line ends, as the TextStream writes it.
//
// Failures throw tq::com::ComFailure carrying the error object: the FileSystemObject's own code
// (0x800A004C path not found, ...) with its own text, or with a Portuguese text of ours naming
// the path where it gives none.  A failure after the file was created (the menu cannot be read,
// a write fails) closes and deletes the file, so no partial script is left behind.  Returns the
// number of lines written.
size_t WriteScriptFile(bib::IMenuLevel& menu, std::wstring_view path,
                       WriteMode mode = WriteMode::kBatched);

}  // namespace tq::script
