#include "page_win_util.h"

#include "tq/com/late_bind.h"
#include "tq/designer/errors.h"

namespace {
tq::com::ComPtr<IDispatch> g_shown_control;
}  // namespace

void tq::test::SetShownControl(IDispatch* control) {
    g_shown_control = control;
}

void tq::designer::GenerateScriptOnShownControl() {
    if (!g_shown_control)
        throw Error(hr::kObjectNotSet, u"Nenhum controle tqMenu está ativo para gerar o script.");
    com::Variant ignored;
    com::Check(com::CallMethod(g_shown_control.get(), L"GerarScript", {}, &ignored));
}
