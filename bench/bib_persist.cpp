// Benchmark of the menu tree's persistence: SaveTree and LoadTree of trees of 1,000, 10,000 and
// 100,000 entries, each against a baseline measured in the same run on the same tree:
//   - save against a walk of the tree that reads every character of every string (what any
//     writer must at least read), and against copying its output into a new vector (what any
//     function returning that many fresh bytes must at least do);
//   - load against building the same strings into a flat vector (what any loader must at least
//     allocate and copy);
//   - ItemPorHnd against a plain hash map from handle to entry, looked up with the same keys.
// Prints entries/s, the ratios, and the scaling of the time per entry from 10,000 to 100,000
// entries (1.00 = linear) for the operations and their baselines alike: past the size where the
// tree leaves the CPU caches, baselines slow down per entry as well.
//
// Usage: bench_bib_persist [repetitions-scale]   (default 1; 0.1 for a quick look)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "tq/bib/persist.h"

using namespace tq;
using namespace tq::bib;

namespace {

using Clock = std::chrono::steady_clock;

String Num(size_t i) {
    return FromUtf8(std::to_string(i));
}

// Three levels, built depth-first as the designer builds a menu: 10 menus of 10 submenus each,
// the remaining entries spread evenly over the submenus, with realistic texts (some put
// TextoMenu, descriptions, shortcut keys and cleared flags).
std::shared_ptr<MenuTree> BuildTree(size_t n, std::vector<MenuItem*>& all) {
    auto root = MenuTree::Create();
    auto fill = [&](const std::shared_ptr<MenuItem>& e) {
        const size_t i = all.size() + 1;
        if (i % 3 == 0) e->SetTextoMenu(e->Caption() + u"\tCtrl+" + Num(i % 10));
        if (i % 2 == 0) e->SetDescricao(u"Abre o cadastro número " + Num(i));
        if (i % 5 == 0) e->SetTeclaExtenso(u"Ctrl+Shift+F" + Num(i % 12));
        if (i % 7 == 0) e->SetHabilitado(false);
        all.push_back(e.get());
    };
    const size_t menus = std::min<size_t>(10, n), subs = std::min<size_t>(10, n / menus);
    const size_t leaves = n - menus - menus * subs;
    for (size_t a = 0; a < menus; ++a) {
        auto top = root->Add(u"&Menu " + Num(a), u"mnuMenu" + Num(a));
        fill(top);
        for (size_t b = 0; b < subs; ++b) {
            auto mid =
                top->SubMenu()->Add(u"Submenu " + Num(b), u"mnuSub" + Num(a) + u"_" + Num(b));
            fill(mid);
            const size_t k = a * subs + b;
            const size_t here = leaves * (k + 1) / (menus * subs) - leaves * k / (menus * subs);
            for (size_t c = 0; c < here; ++c) {
                const size_t i = all.size();
                fill(mid->SubMenu()->Add(u"Item de menu " + Num(i), u"mnuItem" + Num(i)));
            }
        }
    }
    return root;
}

template <class F>
void ForEach(const MenuTree& tree, F&& f) {
    std::vector<const MenuTree*> todo{&tree};
    while (!todo.empty()) {
        const MenuTree* l = todo.back();
        todo.pop_back();
        for (const auto& e : l->Items()) {
            f(*e);
            todo.push_back(e->SubMenu().get());
        }
    }
}

size_t WalkStrings(const MenuTree& tree) {
    size_t sum = 0;
    auto add = [&sum](const String& s) {
        for (char16_t c : s) sum += c;
    };
    ForEach(tree, [&](const MenuItem& e) {
        add(e.Caption());
        add(e.Nome());
        if (e.TextoMenuWasSet()) add(e.TextoMenu());
        add(e.Descricao());
        add(e.TeclaExtenso());
    });
    return sum;
}

std::vector<String> BuildStrings(const MenuTree& tree) {
    std::vector<String> out;
    ForEach(tree, [&](const MenuItem& e) {
        out.push_back(e.Caption());
        out.push_back(e.Nome());
        if (e.TextoMenuWasSet()) out.push_back(e.TextoMenu());
        if (!e.Descricao().empty()) out.push_back(e.Descricao());
        if (!e.TeclaExtenso().empty()) out.push_back(e.TeclaExtenso());
    });
    return out;
}

const void* volatile g_escape;

// Time of one call of f, in seconds; what f returns is destroyed after the clock stops, so that
// freeing a loaded tree is not counted as loading it.
template <class F>
double Time(F&& f) {
    const auto t0 = Clock::now();
    auto result = f();
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    g_escape = &result;  // the result must exist, so its computation cannot be dropped
    return s;
}

struct Row {
    double save, load, walk, strings, copy, find, map;
};

}  // namespace

int main(int argc, char** argv) {
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    const size_t sizes[] = {1'000, 10'000, 100'000};
    Row per_entry[3] = {};

    std::printf("%8s %9s %12s %12s %12s %9s %9s %9s %10s %10s\n", "entries", "bytes", "save e/s",
                "load e/s", "save+load", "save/walk", "save/copy", "load/str", "ItemPorHnd",
                "hash map");
    for (int k = 0; k < 3; ++k) {
        const size_t n = sizes[k];
        const int reps = std::max(5, static_cast<int>(scale * 3'000'000 / static_cast<double>(n)));
        std::vector<MenuItem*> all;
        auto tree = BuildTree(n, all);
        const std::vector<uint8_t> saved = SaveTree(*tree);

        // Rounds interleave the measurements, so that a busy machine slows them alike; the best
        // round of each counts.
        Row best{1e30, 1e30, 1e30, 1e30, 1e30, 1e30, 1e30};
        for (int r = 0; r < reps; ++r) {
            best.save = std::min(best.save, Time([&] { return SaveTree(*tree); }));
            best.load = std::min(best.load, Time([&] { return LoadTree(saved); }));
            best.walk = std::min(best.walk, Time([&] { return WalkStrings(*tree); }));
            best.strings = std::min(best.strings, Time([&] { return BuildStrings(*tree); }));
            best.copy = std::min(best.copy, Time([&] { return std::vector<uint8_t>(saved); }));
        }

        // Handles 1000.. in building order; lookups in a scattered order.
        std::unordered_map<int32_t, MenuItem*> map;
        for (size_t i = 0; i < all.size(); ++i) {
            all[i]->SetHndMenu(static_cast<int32_t>(1000 + i));
            map.emplace(static_cast<int32_t>(1000 + i), all[i]);
        }
        const size_t lookups = 1'000'000;
        auto key = [n](size_t i) { return static_cast<int32_t>(1000 + (i * 7919) % n); };
        for (int r = 0; r < 3; ++r) {
            best.find = std::min(best.find, Time([&] {
                                     size_t hits = 0;
                                     for (size_t i = 0; i < lookups; ++i)
                                         hits += tree->ItemPorHnd(key(i))->HndMenu() != 0;
                                     return hits;
                                 }));
            best.map = std::min(best.map, Time([&] {
                                    size_t hits = 0;
                                    for (size_t i = 0; i < lookups; ++i)
                                        hits += map.find(key(i))->second->HndMenu() != 0;
                                    return hits;
                                }));
        }

        const double dn = static_cast<double>(n);
        per_entry[k] = {best.save / dn, best.load / dn, best.walk / dn, best.strings / dn,
                        best.copy / dn, best.find,      best.map};
        std::printf("%8zu %9zu %12.0f %12.0f %12.0f %9.2f %9.2f %9.2f %7.1f ns %7.1f ns\n", n,
                    saved.size(), dn / best.save, dn / best.load, dn / (best.save + best.load),
                    best.save / best.walk, best.save / best.copy, best.load / best.strings,
                    best.find / lookups * 1e9, best.map / lookups * 1e9);
    }
    const Row& a = per_entry[1];
    const Row& b = per_entry[2];
    std::printf(
        "\nscaling, time per entry 100k / 10k (1.00 = linear):\n"
        "  save %.2f  load %.2f  |  baselines: walk %.2f  strings %.2f  copy %.2f\n"
        "  per lookup: ItemPorHnd %.2f  hash map %.2f\n",
        b.save / a.save, b.load / a.load, b.walk / a.walk, b.strings / a.strings, b.copy / a.copy,
        b.find / a.find, b.map / a.map);
    std::printf(
        "save/walk: save time over reading every string of the tree; save/copy: over "
        "copying its output into a new vector;\nload/str: load time over building the "
        "same strings\n");
    return 0;
}
