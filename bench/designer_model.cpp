// Load then apply menus of 1,000, 10,000 and 100,000 entries through the designer's page
// model, natively.  Then, at 10,000 entries, one step of the undo history taken back and done
// again (a changed entry, a moved menu of 100 entries), against loading the same tree: a step
// costs what it changed, never a reload of the tree.  Baseline, measured in the same run: copying
// the same tree entry by entry with tqBiblioteca's core directly (the same Adds and property
// writes, no designer).
//
// Prints the times, the model's cost against the baseline, and the scaling from one size to
// the next (the goal is linear: 10x the entries in at most 12x the time).  Times are the CPU
// time of this thread where the platform gives it (so a busy machine does not count), else wall
// time; each figure is the best of several consecutive rounds of the same kind and size (what
// the allocator is left with after other kinds or sizes would otherwise weigh on the large
// ones).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "tq/bib/menu_tree.h"
#include "tq/designer/page_model.h"
#include "tq/model/bib_menu_source.h"

#if !defined(_WIN32)
#include <time.h>
#endif

namespace {

#if defined(_WIN32)
using Clock = std::chrono::steady_clock;
#else
// The calling thread's CPU time, as a std::chrono clock.
struct Clock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<Clock>;
    static time_point now() {
        timespec ts;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return time_point(
            duration(std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec)));
    }
};
#endif
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

double Ms(std::chrono::nanoseconds d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Result {
    double baseline = 1e300, load = 1e300, apply = 1e300;
};

// One round of the baseline at one size; keeps the best time in `r`.
void MeasureBaseline(size_t n, Result& r) {
    auto menu = MakeMenu(n);
    const auto t0 = Clock::now();
    auto copy = tq::bib::MenuTree::Create();
    CopyLevel(*menu, *copy);
    r.baseline = std::min(r.baseline, Ms(Clock::now() - t0));
    if (copy->TotalCount() != n) std::fprintf(stderr, "baseline copy is wrong\n");
}

// One round of load and apply through the model at one size; keeps the best times in `r`.
void MeasureModel(size_t n, Result& r) {
    auto menu = MakeMenu(n);
    tq::designer::PageModel page;
    auto t0 = Clock::now();
    page.PropertyPage_SelectionChanged(tq::model::WrapMenuTree(menu));
    r.load = std::min(r.load, Ms(Clock::now() - t0));
    if (page.trvMenu().Count() != static_cast<int32_t>(n + 1))
        std::fprintf(stderr, "load is wrong\n");

    t0 = Clock::now();
    page.PropertyPage_ApplyChanges();
    r.apply = std::min(r.apply, Ms(Clock::now() - t0));
    if (menu->TotalCount() != n) std::fprintf(stderr, "apply is wrong\n");
}

// Undo then redo of one step, best of `rounds`, on a loaded tree of n entries.  `step` makes
// the change through the page's handlers.
template <class Step>
double MeasureUndoRedo(size_t n, int rounds, Step step) {
    auto menu = MakeMenu(n);
    tq::designer::PageModel page;
    page.PropertyPage_SelectionChanged(tq::model::WrapMenuTree(menu));
    step(page);
    if (!page.CanUndo()) std::fprintf(stderr, "no step to take back\n");
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        const auto t0 = Clock::now();
        page.Undo();
        page.Redo();
        best = std::min(best, Ms(Clock::now() - t0));
    }
    return best;
}

}  // namespace

int main() {
    const size_t sizes[] = {1000, 10000, 100000};
    Result results[3];
    for (size_t k = 0; k < 3; ++k) {
        const int rounds = std::clamp(static_cast<int>(1000000 / sizes[k]), 7, 40);
        for (int round = 0; round < rounds; ++round) MeasureBaseline(sizes[k], results[k]);
        for (int round = 0; round < rounds; ++round) MeasureModel(sizes[k], results[k]);
    }

    std::printf("%9s %12s %10s %10s %12s %10s %14s\n", "entries", "baseline ms", "load ms",
                "apply ms", "load+apply", "x baseline", "x prev size");
    for (size_t k = 0; k < 3; ++k) {
        const Result& r = results[k];
        const double total = r.load + r.apply;
        char scaling[64] = "-";
        if (k > 0) {
            const Result& p = results[k - 1];
            std::snprintf(scaling, sizeof scaling, "%.1f (base %.1f)", total / (p.load + p.apply),
                          r.baseline / p.baseline);
        }
        std::printf("%9zu %12.2f %10.2f %10.2f %12.2f %10.2f %14s\n", sizes[k], r.baseline, r.load,
                    r.apply, total, total / r.baseline, scaling);
    }
    std::printf(
        "best of consecutive rounds per size; goal: load+apply of 10x the entries in at "
        "most 12x the time\n");

    // One undo + redo at 10,000 entries against a load of the same tree.
    const double load = results[1].load;
    const double change = MeasureUndoRedo(10000, 40, [](tq::designer::PageModel& page) {
        page.ClickNode(page.trvMenu().Item(u"AL5002"));
        page.btnAlterar_Click();
        page.TypeText(tq::designer::Control::txtCaption, u"&Outro");
        page.btnConfirma_Click();
    });
    const double move = MeasureUndoRedo(10000, 40, [](tq::designer::PageModel& page) {
        page.ClickNode(page.trvMenu().Item(u"AT5000"));
        page.btnSobe_Click();
    });
    std::printf("\n%-40s %10s %12s\n", "undo+redo at 10000 entries", "ms", "x load");
    std::printf("%-40s %10.4f %12.5f\n", "a changed entry", change, change / load);
    std::printf("%-40s %10.4f %12.5f\n", "a moved menu of 100 entries", move, move / load);
    std::printf("goal: one step well below one load (a step is not a reload)\n");
    return 0;
}
