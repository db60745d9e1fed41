// The script export of a menu tree (the part of GerarScript after the dialog: the walk over a
// tqBiblioteca MenuTree and the FileSystemObject output) against plain fwrite loops writing the
// same bytes, in one run, at 1,000, 10,000 and 100,000 entries.  Goal: export / plain <= 2.
//
// Two plain loops: "bytes" writes the precomputed ANSI lines (the cost of the file alone);
// "tree" reads the same MenuTree through the same walk and fwrites each line (a hand-written
// exporter without the FileSystemObject).  The per-line variant (one TextStream.WriteLine call
// per entry) is measured too: it is what the batched output replaces.
//
//   tools/wine-run.sh --prefix build/win64/wineprefix build/win64/bench/bench_script_export.exe
// (tqBiblioteca.dll registered in that prefix, as the Wine tests leave it; otherwise the DLL of
// this build tree is loaded directly).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tq/bib/com_menu_level.h"
#include "tq/com/com_ptr.h"
#include "tq/com/strings.h"
#include "tq/script/script_file.h"
#include "tq/script/script_writer.h"
#include "win_test.h"

using tq::com::Bstr;
using tq::com::ComPtr;

namespace {

ComPtr<MenuTree> NewTree() {
    ComPtr<MenuTree> tree;
    CLSID clsid{};
    if (SUCCEEDED(CLSIDFromProgID(L"tqBiblioteca.MenuTree", &clsid)) &&
        SUCCEEDED(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_MenuTree, tree.put_void())))
        return tree;
    // Not registered: the DLL of this build tree, through its class factory.
    std::wstring path = L"Z:" TQ_BIB_DLL;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    HMODULE dll = LoadLibraryW(path.c_str());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = dll ? reinterpret_cast<GetClassObject>(
                         reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")))
                   : nullptr;
    ComPtr<IClassFactory> factory;
    if (get && SUCCEEDED(get(CLSID_MenuTreeClass, IID_IClassFactory, factory.put_void())))
        factory->CreateInstance(nullptr, IID_MenuTree, tree.put_void());
    return tree;
}

void Add(MenuTree* level, const std::wstring& caption, const std::wstring& nome) {
    tq::test::AddEntry(level, caption, nome);
}
ComPtr<MenuTree> Sub(MenuTree* level, LONG position) {
    return tq::test::SubOf(tq::test::ItemAt(level, position).get());
}

// `n` entries: n/100 menus, each with 99 entries below it (a tenth of them with two more).
ComPtr<MenuTree> MakeTree(int n) {
    ComPtr<MenuTree> tree = NewTree();
    if (!tree) return tree;
    const int top = std::max(1, n / 100);
    int made = 0;
    for (int t = 1; t <= top; ++t) {
        Add(tree.get(), L"&Menu " + std::to_wstring(t), L"M" + std::to_wstring(t));
        ++made;
        ComPtr<MenuTree> l1 = Sub(tree.get(), t);
        for (int m = 1; made < n * t / top; ++m) {
            const std::wstring nome = L"M" + std::to_wstring(t) + L"_" + std::to_wstring(m);
            Add(l1.get(), L"Opção &" + std::to_wstring(m) + L" de configuração", nome);
            ++made;
            if (m % 10 == 0 && made + 2 <= n * t / top) {
                ComPtr<MenuTree> l2 = Sub(l1.get(), m);
                Add(l2.get(), L"Ação A", nome + L"_A");
                Add(l2.get(), L"Ação B", nome + L"_B");
                made += 2;
            }
        }
    }
    return tree;
}

// The script's bytes, line by line, as the plain loop writes them.
std::vector<std::string> AnsiLines(MenuTree* tree) {
    struct Collect final : tq::script::LineSink {
        std::vector<std::string> lines;
        void WriteLine(tq::StringView line) override {
            lines.push_back(tq::com::ToAnsi(tq::com::AsWide(line)) + "\r\n");
        }
    } sink;
    tq::script::WriteScript(*tq::bib::WrapComMenuTree(tq::com::ComPtr<MenuTree>(tree)), sink);
    return std::move(sink.lines);
}

double Ms(const std::function<void()>& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string Slurp(const std::wstring& path) {
    std::string out;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        fclose(f);
    }
    return out;
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const std::wstring dir = tmp;
    const std::wstring plain_path = dir + L"bench_plain.Ini";
    const std::wstring export_path = dir + L"bench_export.Ini";
    const std::wstring line_path = dir + L"bench_linhas.Ini";

    const std::wstring tree_path = dir + L"bench_tree.Ini";
    std::printf("%8s | %9s %9s | %9s %7s %7s | %9s %7s %7s\n", "entries", "bytes ms", "tree ms",
                "export ms", "/bytes", "/tree", "perline", "/bytes", "/tree");
    for (int n : {1000, 10000, 100000}) {
        ComPtr<MenuTree> tree = MakeTree(n);
        if (!tree) {
            std::printf("cannot create tqBiblioteca.MenuTree\n");
            return 1;
        }
        const std::vector<std::string> lines = AnsiLines(tree.get());
        std::vector<double> bytes, plain_tree, batched, per_line;
        for (int round = 0; round < 7; ++round) {
            bytes.push_back(Ms([&] {
                FILE* f = _wfopen(plain_path.c_str(), L"wb");
                for (const std::string& l : lines) fwrite(l.data(), 1, l.size(), f);
                fclose(f);
            }));
            plain_tree.push_back(Ms([&] {
                struct Fwrite final : tq::script::LineSink {
                    FILE* f;
                    std::string ansi;
                    void WriteLine(tq::StringView line) override {
                        ansi = tq::com::ToAnsi(tq::com::AsWide(line));
                        ansi += "\r\n";
                        fwrite(ansi.data(), 1, ansi.size(), f);
                    }
                } sink;
                sink.f = _wfopen(tree_path.c_str(), L"wb");
                tq::script::WriteScript(*tq::bib::WrapComMenuTree(tree), sink);
                fclose(sink.f);
            }));
            batched.push_back(Ms([&] {
                tq::script::WriteScriptFile(*tq::bib::WrapComMenuTree(tree), export_path,
                                            tq::script::WriteMode::kBatched);
            }));
            per_line.push_back(Ms([&] {
                tq::script::WriteScriptFile(*tq::bib::WrapComMenuTree(tree), line_path,
                                            tq::script::WriteMode::kLinePerCall);
            }));
        }
        const double b = Median(bytes), t = Median(plain_tree), e = Median(batched),
                     l = Median(per_line);
        std::printf("%8zu | %9.2f %9.2f | %9.2f %6.2fx %6.2fx | %9.2f %6.2fx %6.2fx\n",
                    lines.size(), b, t, e, e / b, e / t, l, l / b, l / t);
        const std::string files[] = {Slurp(plain_path), Slurp(tree_path), Slurp(export_path),
                                     Slurp(line_path)};
        for (const std::string& f : files)
            if (f != files[0]) {
                std::printf("the files differ (%zu and %zu bytes)\n", files[0].size(), f.size());
                return 1;
            }
    }
    DeleteFileW(tree_path.c_str());
    DeleteFileW(plain_path.c_str());
    DeleteFileW(export_path.c_str());
    DeleteFileW(line_path.c_str());
    std::printf(
        "bytes: fwrite of the precomputed lines; tree: the MenuTree walk with an fwrite per "
        "line;\nexport: WriteScriptFile as GerarScript runs it (batched Write calls); "
        "perline: one WriteLine per entry.\nMedians of 7 rounds; the four files are "
        "identical.\n");
    CoUninitialize();
    return 0;
}
