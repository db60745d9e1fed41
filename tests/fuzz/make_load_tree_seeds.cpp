// Writes the seed corpus of fuzz_load_tree: a few valid saves covering every field, nesting and
// the skipping of fields a later version may add.  Usage: make_load_tree_seeds <directory>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tq/bib/persist.h"

using namespace tq;
using namespace tq::bib;

namespace {

void Write(const std::string& dir, const char* name, const std::vector<uint8_t>& bytes) {
    std::ofstream f(dir + "/" + name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    if (!f) {
        std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name);
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];

    Write(dir, "empty.bin", SaveTree(*MenuTree::Create()));

    auto two = MenuTree::Create();
    auto arquivo = two->Add(u"&Arquivo", u"mnuArquivo");
    arquivo->SubMenu()->Add(u"&Novo", u"mnuNovo")->SetTeclaExtenso(u"Ctrl+N");
    arquivo->SubMenu()->Add(u"-", u"mnuSep1");
    arquivo->SubMenu()->Add(u"&Sair", u"mnuSair");
    two->Add(u"&Editar", u"mnuEditar")->SubMenu()->Add(u"&Copiar", u"mnuCopiar");
    Write(dir, "two_menus.bin", SaveTree(*two));

    auto all = MenuTree::Create();
    auto a = all->Add(u"Relatórios", u"mnuRel");
    a->SetDescricao(u"Relatórios do mês");
    a->SetTextoMenu(u"&Relatórios\tF5");
    a->SetMenuConsulta(true);
    auto b = a->SubMenu()->Add(u"Oculto", u"mnuOculto");
    b->SetVisivel(false);
    b->SetVisivelDefault(false);
    b->SetHabilitado(false);
    b->SetHabilitadoDefault(false);
    b->SetTextoMenu(u"");
    b->SubMenu()->Add(u"\U0001F600 emoji", u"mnuEmoji")->SetTeclaExtenso(u"Shift+F12");
    Write(dir, "every_field.bin", SaveTree(*all));

    auto deep = MenuTree::Create();
    auto level = deep;
    for (int i = 0; i < 20; ++i)
        level = level->Add(u"n", u"n" + FromUtf8(std::to_string(i)))->SubMenu();
    Write(dir, "deep20.bin", SaveTree(*deep));

    // Fields of every skippable kind that this version does not know, inside an entry and
    // outside any entry: a later version's save.
    std::vector<uint8_t> ext = SaveTree(*two);
    ext.pop_back();                                      // end of data
    const uint8_t extra[] = {0x3F, 1,                    // unknown boolean outside any entry
                             0x5F, 1, 2, 3, 4,           // unknown u32
                             0x7F, 1, 0, 0, 0, 'x',  0,  // unknown string
                             0x9F, 2, 0, 0, 0, 9,    9,  // unknown bytes
                             0x01,  // an entry with an unknown string and a Caption
                             0x7E, 0, 0, 0, 0, 0x60, 1, 0, 0, 0, 'z', 0, 0x02, 0x03};
    ext.insert(ext.end(), std::begin(extra), std::end(extra));
    ext[8] = static_cast<uint8_t>(ext[8] + 1);  // one more entry
    ext[4] = 2;                                 // written by version 2, readable by version 1
    Write(dir, "ext_later_version.bin", ext);
    return 0;
}
