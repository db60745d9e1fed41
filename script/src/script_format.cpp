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

}  // namespace

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
