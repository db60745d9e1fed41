#include "tq/designer/mdl_comum.h"

#include "tq/error.h"
#include "tq/model/item_record.h"

namespace tq::designer {

void AdicionaNo(NodeTree& trv, const String& texto, const String& chavePai, const String& chave,
                const String& tag, bool marcado, bool atualiza) {
    if (chave.empty()) return;

    // The first failure of the call is trapped and sends the call to the add below; once it
    // has been, the next failure goes to the caller.
    bool apos_falha = false;
    if (atualiza) {
        try {
            Node& no = trv.Item(chave);
            trv.SetText(no, texto);
            trv.SetTag(no, tag);
            trv.SetChecked(no, marcado);
            return;
        } catch (const Error&) {
            apos_falha = true;
        }
    }

    // Adds, then marks the node at the last position of the collection: the one just added.
    const auto adiciona = [&] {
        if (chavePai.empty())
            trv.Add(chave, texto);
        else
            trv.Add(NodeTree::Relative::ByKey(chavePai), Relationship::Child, chave, texto);
        Node& ultimo = trv.Item(trv.Count());
        trv.SetTag(ultimo, tag);
        trv.SetChecked(ultimo, marcado);
    };

    if (chavePai.empty()) {
        if (!apos_falha) {
            try {
                adiciona();
                return;
            } catch (const Error&) {
                // trapped: back to the top-level add, once more
            }
        }
        adiciona();
        return;
    }

    if (apos_falha) {
        adiciona();
        return;
    }
    try {
        adiciona();
    } catch (const Error&) {
        // a child that cannot be added is skipped quietly
    }
}

void CarregaTeclas(ComboBox& cmb) {
    for (const String& nome : model::NomesTeclas()) cmb.AddItem(nome);
}

}  // namespace tq::designer
