// Load then apply menus of 1,000, 10,000 and 100,000 entries through the designer's page
// model, natively.  Baseline, measured in the same run: copying the same tree entry by entry
// with tqBiblioteca's core directly (the same Adds and property writes, no designer).
//
// Prints the times, the model's cost against the baseline, and the scaling from one size to
// the next (the goal is linear: 10x the entries in at most 12x the time).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "tq/bib/menu_tree.h"
#include "tq/designer/page_model.h"
#include "tq/model/bib_menu_source.h"

namespace {

using Clock = std::chrono::steady_clock;
using tq::String;

String Text(const char* prefix, size_t i) {
    return tq::FromUtf8(prefix + std::to_string(i));
}

// n entries: n/100 menu titles, each with 9 entries of 10 leaves (1 + 9 + 90 = 100 a title).
std::shared_ptr<tq::bib::MenuTree> MakeMenu(size_t n) {
    auto root = tq::bib::MenuTree::Create();
    size_t id = 0;
    for (size_t t = 0; t < n / 100; ++t) {
        auto title = root->Add(Text("&Titulo ", id), Text("T", id));
        ++id;
        for (size_t m = 0; m < 9; ++m) {
            auto mid = title->SubMenu()->Add(Text("&Menu ", id), Text("M", id));
            ++id;
            for (size_t l = 0; l < 10; ++l) {
                auto leaf = mid->SubMenu()->Add(Text("&Item ", id), Text("L", id));
                leaf->SetTeclaExtenso(l % 3 == 0 ? u"Ctrl+F5" : u"");
                leaf->SetDescricao(Text("descricao ", id));
                leaf->SetVisivelDefault(l % 4 != 0);
                ++id;
            }
        }
    }
    return root;
}

void CopyLevel(const tq::bib::MenuTree& from, tq::bib::MenuTree& to) {
    for (const auto& e : from.Items()) {
        auto c = to.Add(e->Caption(), e->Nome());
        c->SetTeclaExtenso(e->TeclaExtenso());
        c->SetDescricao(e->Descricao());
        c->SetMenuConsulta(e->MenuConsulta());
        c->SetVisivelDefault(e->VisivelDefault());
        c->SetVisivel(e->VisivelDefault());
        c->SetHabilitadoDefault(e->HabilitadoDefault());
        c->SetHabilitado(e->HabilitadoDefault());
        CopyLevel(*e->SubMenu(), *c->SubMenu());
    }
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Result {
    double baseline = 1e300, load = 1e300, apply = 1e300;
};

Result Measure(size_t n, int repeats) {
    Result r;
    for (int k = 0; k < repeats; ++k) {
        auto menu = MakeMenu(n);

        auto t0 = Clock::now();
        auto copy = tq::bib::MenuTree::Create();
        CopyLevel(*menu, *copy);
        r.baseline = std::min(r.baseline, Ms(Clock::now() - t0));
        if (copy->TotalCount() != n) std::fprintf(stderr, "baseline copy is wrong\n");

        tq::designer::PageModel page;
        t0 = Clock::now();
        page.PropertyPage_SelectionChanged(tq::model::WrapMenuTree(menu));
        r.load = std::min(r.load, Ms(Clock::now() - t0));
        if (page.trvMenu().Count() != static_cast<int32_t>(n + 1))
            std::fprintf(stderr, "load is wrong\n");

        t0 = Clock::now();
        page.PropertyPage_ApplyChanges();
        r.apply = std::min(r.apply, Ms(Clock::now() - t0));
        if (menu->TotalCount() != n) std::fprintf(stderr, "apply is wrong\n");
    }
    return r;
}

}  // namespace

int main() {
    const size_t sizes[] = {1000, 10000, 100000};
    std::printf("%9s %12s %10s %10s %12s %10s %14s\n", "entries", "baseline ms", "load ms",
                "apply ms", "load+apply", "x baseline", "x prev size");
    double prev = 0, prevBase = 0;
    for (size_t n : sizes) {
        const Result r = Measure(n, n >= 100000 ? 5 : 9);
        const double total = r.load + r.apply;
        char scaling[64] = "-";
        if (prev > 0)
            std::snprintf(scaling, sizeof scaling, "%.1f (base %.1f)", total / prev,
                          r.baseline / prevBase);
        std::printf("%9zu %12.2f %10.2f %10.2f %12.2f %10.2f %14s\n", n, r.baseline, r.load,
                    r.apply, total, total / r.baseline, scaling);
        prev = total;
        prevBase = r.baseline;
    }
    std::printf("goal: load+apply of 10x the entries in at most 12x the time\n");
    return 0;
}
