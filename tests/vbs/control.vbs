' The tqMenu control reached by name from Wine's cscript; the test requires the last line "VBS OK".
Option Explicit
Sub Falha(texto)
    WScript.Echo "FALHA: " & texto
    WScript.Quit 1
End Sub

Dim ctl, tree, arvore, exibir : Set ctl = CreateObject("tqMenuCtl.tqMenu")
If ctl.ExibirMenu <> False Then Falha "ExibirMenu de um controle novo deveria ser False"
Set arvore = ctl.MenuTree : If arvore.Count <> 0 Or Not ctl.MenuTree Is arvore Then Falha "MenuTree deveria guardar uma arvore vazia"

Set tree = CreateObject("tqBiblioteca.MenuTree")
tree.Add "&Arquivo", "mnuArquivo"
tree.Add "A&juda", "mnuAjuda"
tree.Item(1).SubMenu.Add "&Novo", "mnuNovo"
tree.Item(1).SubMenu.Item(1).HabilitadoDefault = False
tree.Item("mnuAjuda").Habilitado = False
Set ctl.MenuTree = tree
If Not ctl.MenuTree Is tree Then Falha "MenuTree deveria ser a arvore dada"
ctl.ReloadDefault
If ctl.MenuTree.Item(1).SubMenu.Item(1).Habilitado Then Falha "Novo deveria ficar desabilitado"
If Not ctl.MenuTree.Item("mnuAjuda").Habilitado Then Falha "Ajuda deveria voltar a habilitado"

exibir = True : ctl.ExibirMenu = exibir  ' a variable reaches a by-reference parameter
If ctl.ExibirMenu <> True Then Falha "ExibirMenu deveria ser True"
On Error Resume Next  ' without a form there is no bar to build
ctl.ReExibirMenu
If Err.Number = 0 Or Len(Err.Description) = 0 Then Falha "ReExibirMenu sem formulario deveria falhar com texto"
On Error GoTo 0
ctl.ExibirMenu = False : ctl.ReExibirMenu
WScript.Echo "VBS OK"
