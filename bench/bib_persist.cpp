// Benchmark of the menu tree's persistence: SaveTree and LoadTree of trees of 1,000, 10,000 and
// 100,000 entries, against two baselines measured in the same run on the same data:
//   - memcpy of as many bytes as the save produced (the floor for touching the bytes), and
//   - building the same strings into a flat vector (the floor for allocating the entries' text),
// plus ItemPorHnd per lookup, which must not grow with the tree.  Prints entries/s and the
// scaling ratio of the time per entry between 100,000 and 10,000 entries (1.00 = linear).
//
// Usage: bench_bib_persist [repetitions-scale]   (default 1; 0.1 for a quick look)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tq/bib/persist.h"

using namespace tq;
using namespace tq::bib;

namespace {

using Clock = std::chrono::steady_clock;

String Num(size_t i) {
    return FromUtf8(std::to_string(i));
}

// Three levels: 10 menus of 10 submenus each, the remaining entries spread over the submenus,
// with realistic texts (some put TextoMenu, descriptions, shortcut keys and cleared flags).
std::shared_ptr<MenuTree> BuildTree(size_t n, std::vector<MenuItem*>* all = nullptr) {
    auto root = MenuTree::Create();
    size_t made = 0;
    auto fill = [&](const std::shared_ptr<MenuItem>& e) {
        ++made;
        if (made % 3 == 0) e->SetTextoMenu(e->Caption() + u"\tCtrl+" + Num(made % 10));
        if (made % 2 == 0) e->SetDescricao(u"Abre o cadastro número " + Num(made));
        if (made % 5 == 0) e->SetTeclaExtenso(u"Ctrl+Shift+F" + Num(made % 12));
        if (made % 7 == 0) e->SetHabilitado(false);
        if (all) all->push_back(e.get());
    };
    std::vector<std::shared_ptr<MenuItem>> mids;
    for (size_t a = 0; a < 10 && made < n; ++a) {
        auto top = root->Add(u"&Menu " + Num(a), u"mnuMenu" + Num(a));
        fill(top);
        for (size_t b = 0; b < 10 && made < n; ++b) {
            auto mid =
                top->SubMenu()->Add(u"Submenu " + Num(b), u"mnuSub" + Num(a) + u"_" + Num(b));
            fill(mid);
            mids.push_back(mid);
        }
    }
    for (size_t i = 0; made < n; ++i) {
        auto& mid = mids[i % mids.size()];
        fill(mid->SubMenu()->Add(u"Item de menu " + Num(made), u"mnuItem" + Num(made)));
    }
    return root;
}

// The same texts as BuildTree, into one flat vector: what any loader must at least allocate.
std::vector<String> BuildStrings(const MenuTree& tree) {
    std::vector<String> out;
    std::vector<const MenuTree*> todo{&tree};
    while (!todo.empty()) {
        const MenuTree* l = todo.back();
        todo.pop_back();
        for (const auto& e : l->Items()) {
            out.push_back(e->Caption());
            out.push_back(e->Nome());
            if (e->TextoMenuWasSet()) out.push_back(e->TextoMenu());
            if (!e->Descricao().empty()) out.push_back(e->Descricao());
            if (!e->TeclaExtenso().empty()) out.push_back(e->TeclaExtenso());
            todo.push_back(e->SubMenu().get());
        }
    }
    return out;
}

// Best time of `reps` runs of f, in seconds.
template <class F>
double Best(int reps, F&& f) {
    double best = 1e30;
    for (int r = 0; r < reps; ++r) {
        const auto t0 = Clock::now();
        f();
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        best = std::min(best, s);
    }
    return best;
}

volatile size_t g_sink;  // keeps results alive so that nothing is optimised away

}  // namespace

int main(int argc, char** argv) {
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    const size_t sizes[] = {1'000, 10'000, 100'000};
    double per_entry_save[3] = {}, per_entry_load[3] = {};

    std::printf("%9s %9s %13s %13s %13s %13s %9s %9s %11s\n", "entries", "bytes", "save e/s",
                "load e/s", "save+load e/s", "strings e/s", "load/str", "save/mcp", "ItemPorHnd");
    for (int k = 0; k < 3; ++k) {
        const size_t n = sizes[k];
        const int reps = std::max(3, static_cast<int>(scale * 2'000'000 / static_cast<double>(n)));
        std::vector<MenuItem*> all;
        auto tree = BuildTree(n, &all);
        const std::vector<uint8_t> saved = SaveTree(*tree);

        const double save = Best(reps, [&] { g_sink = SaveTree(*tree).size(); });
        const double load = Best(reps, [&] { g_sink = LoadTree(saved)->Count(); });
        std::vector<uint8_t> copy(saved.size());
        const double mcp = Best(reps, [&] {
            std::memcpy(copy.data(), saved.data(), saved.size());
            g_sink = copy[saved.size() / 2];
        });
        const double strings = Best(reps, [&] { g_sink = BuildStrings(*tree).size(); });

        // Lookups of the deepest entries' handles (the last entries made are third-level).
        for (size_t i = 0; i < all.size(); ++i) all[i]->SetHndMenu(static_cast<int32_t>(1000 + i));
        const size_t lookups = 1'000'000;
        const double find = Best(3, [&] {
            size_t hits = 0;
            for (size_t i = 0; i < lookups; ++i)
                hits += tree->ItemPorHnd(static_cast<int32_t>(1000 + (i * 7919) % n)) != nullptr;
            g_sink = hits;
        });

        per_entry_save[k] = save / static_cast<double>(n);
        per_entry_load[k] = load / static_cast<double>(n);
        const double dn = static_cast<double>(n);
        std::printf("%9zu %9zu %13.0f %13.0f %13.0f %13.0f %9.2f %9.1f %8.1f ns\n", n, saved.size(),
                    dn / save, dn / load, dn / (save + load), dn / strings, load / strings,
                    save / mcp, find / lookups * 1e9);
    }
    std::printf("\nscaling (time per entry, 100k / 10k; 1.00 = linear): save %.2f, load %.2f\n",
                per_entry_save[2] / per_entry_save[1], per_entry_load[2] / per_entry_load[1]);
    std::printf(
        "load/str: load time over building the same strings; save/mcp: save time over a "
        "memcpy of its output\n");
    return 0;
}
