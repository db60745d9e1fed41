// Procedures shared by the page: adding or updating a designer node, and the key list.
#pragma once

#include "tq/designer/form.h"
#include "tq/designer/node_tree.h"
#include "tq/ustring.h"

namespace tq::designer {

// Adds a node to the tree, or, with `atualiza`, updates the node that has the key.
//  - An empty key changes nothing.
//  - Update: the node with the key gets the text, then the tag, then the check flag.  When no
//    node has the key, the lookup fails and the node is added instead.
//  - Add with an empty parent key: a new last top-level node; without a parent key, a failed
//    add is tried once more when it was the call's first failure, then reported.
//  - Add under the node with the parent key (as its last child): a failure ends the call
//    quietly, unless it comes right after a failed update, when it is reported.
// The tag and check flag go onto the node at the last position of the collection, the node
// just added.  Bold is never set here.  Failures are tq::Error from the tree.
void AdicionaNo(NodeTree& trv, const String& texto, const String& chavePai, const String& chave,
                const String& tag, bool marcado, bool atualiza);

// Appends the 38 shortcut key names to the combo box ("F1".."F12", "A".."Z"), each as a new last
// item.  It does not empty the list first.
void CarregaTeclas(ComboBox& cmb);

}  // namespace tq::designer
