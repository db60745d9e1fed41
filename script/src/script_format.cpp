#include "tq/script/script_format.h"

#include "tq/error.h"

namespace tq::script {

namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}
bool IsDriveLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

[[noreturn]] void NoFolder(StringView library_path) {
    throw Error(hr::kInvalidArg,
                u"Não foi possível determinar a pasta dos scripts a partir do caminho da "
                u"biblioteca: \"" +
                    String(library_path) + u"\"");
}

// Length of the next path component starting at `from` (up to a separator or the end).
size_t ComponentLength(StringView s, size_t from) {
    size_t n = 0;
    while (from + n < s.size() && !IsSeparator(s[from + n])) ++n;
    return n;
}

// Largest full path Win32 takes without the long-path prefix, its terminating NUL included.
constexpr size_t kMaxPath = 260;

// The file name without its ".Ini": what the user's answer puts in the folder.
StringView Stem(StringView file) {
    return file.substr(0, file.size() - StringView(kScriptExtension).size());
}

// The part of a file name that Win32 compares with the device names: up to the first dot,
// without trailing spaces ("nul .txt" names the device NUL).
StringView DeviceBase(StringView file) {
    StringView base = file.substr(0, file.find(u'.'));
    while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
    return base;
}

bool IsReservedDevice(StringView base) {
    const auto upper = [](char16_t c) {
        return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    };
    String b;
    for (char16_t c : base) b += upper(c);
    if (b == u"CON" || b == u"PRN" || b == u"AUX" || b == u"NUL") return true;
    if (b.size() != 4 || (b.compare(0, 3, u"COM") != 0 && b.compare(0, 3, u"LPT") != 0))
        return false;
    // COM1-COM9 and LPT1-LPT9, and the superscript 1, 2 and 3 that Windows also takes.
    const char16_t d = b[3];
    return (d >= u'1' && d <= u'9') || d == u'\u00B9' || d == u'\u00B2' || d == u'\u00B3';
}

}  // namespace

NameProblem CheckScriptName(StringView folder, StringView answer) {
    const String file = ScriptFileName(answer);
    const StringView stem = Stem(file);
    if (stem.find(u'\\') != StringView::npos || stem.find(u'/') != StringView::npos ||
        stem.find(u"..") != StringView::npos)
        return NameProblem::kFolder;
    for (char16_t c : stem)
        if (c < 32 || StringView(u"<>:\"|?*").find(c) != StringView::npos)
            return NameProblem::kInvalidCharacter;
    if (!stem.empty() && (stem.back() == u'.' || stem.back() == u' '))
        return NameProblem::kTrailingDotOrSpace;
    if (IsReservedDevice(DeviceBase(file))) return NameProblem::kReservedName;
    if (folder.size() + file.size() >= kMaxPath) return NameProblem::kTooLong;
    return NameProblem::kNone;
}

String NameProblemText(NameProblem problem, StringView answer) {
    switch (problem) {
        case NameProblem::kNone:
            break;
        case NameProblem::kFolder:
            return u"O Script Fica Nesta Pasta: o Nome Não Pode Conter \\, / ou ..";
        case NameProblem::kInvalidCharacter:
            return u"O Nome do Script Não Pode Conter < > : \" | ? * nem Caracteres de Controle";
        case NameProblem::kTrailingDotOrSpace:
            return u"O Nome do Script Não Pode Terminar com Ponto ou Espaço";
        case NameProblem::kReservedName:
            return u"'" + String(DeviceBase(ScriptFileName(answer))) +
                   u"' É um Nome Reservado do Sistema";
        case NameProblem::kTooLong:
            return u"O Nome do Script É Longo Demais para Esta Pasta";
    }
    return String();
}

String StripAmpersands(StringView caption) {
    String out;
    out.reserve(caption.size());
    for (char16_t c : caption)
        if (c != u'&') out += c;
    return out;
}

void AppendLine(String& out, size_t depth, StringView caption, StringView nome,
                StringView parent_key) {
    out.append(depth * 3, u' ');
    for (char16_t c : caption)
        if (c != u'&') out += c;
    out += u'*';
    out += nome;
    out += u'^';
    out += parent_key;
}

String ScriptFileName(StringView answer) {
    const StringView ext = kScriptExtension;
    String out;
    out.reserve(answer.size() + ext.size());
    size_t i = 0;
    while (i < answer.size()) {
        if (answer.substr(i, ext.size()) == ext) {
            i += ext.size();
        } else {
            out += answer[i++];
        }
    }
    out += ext;
    return out;
}

String TargetFolder(StringView path) {
    StringView p = path;
    // Win32 file namespace prefixes: "\\?\C:\..." and "\\?\UNC\server\share\...".
    bool unc = false;
    if (p.size() >= 4 && IsSeparator(p[0]) && IsSeparator(p[1]) && (p[2] == u'?' || p[2] == u'.') &&
        IsSeparator(p[3])) {
        if (p[2] == u'.') NoFolder(path);  // a device path, not a file
        p.remove_prefix(4);
        if (p.size() >= 4 && (p[0] == u'U' || p[0] == u'u') && (p[1] == u'N' || p[1] == u'n') &&
            (p[2] == u'C' || p[2] == u'c') && IsSeparator(p[3])) {
            p.remove_prefix(4);
            unc = true;
        }
    } else if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
        p.remove_prefix(2);
        unc = true;
    }

    String folder;
    if (!unc) {
        // "X:\" then at least the file name.
        if (p.size() < 4 || !IsDriveLetter(p[0]) || p[1] != u':' || !IsSeparator(p[2]))
            NoFolder(path);
        folder = String(p.substr(0, 2)) + u"\\";
    } else {
        // server, share, then at least the file name.
        const size_t server = ComponentLength(p, 0);
        if (server == 0 || server + 1 >= p.size()) NoFolder(path);
        const StringView server_name = p.substr(0, server);
        if (server_name == u"?" || server_name == u".") NoFolder(path);
        const size_t share = ComponentLength(p, server + 1);
        const size_t after = server + 1 + share;
        if (share == 0 || after + 1 >= p.size()) NoFolder(path);
        folder =
            u"\\\\" + String(server_name) + u"\\" + String(p.substr(server + 1, share)) + u"\\";
    }
    return folder + kScriptFolder;
}

}  // namespace tq::script
