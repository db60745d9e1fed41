' A script client of the tqMenu control (run by cscript under Wine).  Wine's cscript prints
' nothing and exits 0 when a script dies, so this script ends with its own "VBS OK" line.
Option Explicit

Sub Falha(texto)
    WScript.Echo "FALHA: " & texto
    WScript.Quit 1
End Sub

Dim ctl, tree, arvore, item
Set ctl = CreateObject("tqMenuCtl.tqMenu")

' A control that was never put on a form: ExibirMenu False and, on first read, an empty tree.
If ctl.ExibirMenu <> False Then Falha "ExibirMenu de um controle novo deveria ser False"
Set arvore = ctl.MenuTree
If arvore Is Nothing Then Falha "MenuTree devolveu Nothing"
If arvore.Count <> 0 Then Falha "a arvore nova deveria estar vazia"
If Not ctl.MenuTree Is arvore Then Falha "MenuTree deveria guardar a arvore criada"

' A tree of our own, set by reference.
Set tree = CreateObject("tqBiblioteca.MenuTree")
tree.Add "&Arquivo", "mnuArquivo"
tree.Add "A&juda", "mnuAjuda"
tree.Item(1).SubMenu.Add "&Novo", "mnuNovo"
tree.Item(1).SubMenu.Add "&Abrir", "mnuAbrir"
Set item = tree.Item(1).SubMenu.Item(2)
item.HabilitadoDefault = False
tree.Item("mnuAjuda").Habilitado = False
Set ctl.MenuTree = tree
If Not ctl.MenuTree Is tree Then Falha "MenuTree deveria ser a arvore dada"

' ReloadDefault puts every Habilitado back to its HabilitadoDefault, at any depth.
ctl.ReloadDefault
If ctl.MenuTree.Item(1).SubMenu.Item(2).Habilitado <> False Then Falha "Abrir deveria ficar desabilitado"
If ctl.MenuTree.Item("mnuAjuda").Habilitado <> True Then Falha "Ajuda deveria voltar a habilitado"

' A variable reaches a by-reference parameter as a by-reference Variant.
Dim exibir
exibir = True
ctl.ExibirMenu = exibir
If ctl.ExibirMenu <> True Then Falha "ExibirMenu deveria ser True"

' Without a form there is no menu bar to build: the control says so with a COM error.
On Error Resume Next
ctl.ReExibirMenu
If Err.Number = 0 Then
    On Error GoTo 0
    Falha "ReExibirMenu sem formulario deveria falhar"
End If
If Len(Err.Description) = 0 Then
    On Error GoTo 0
    Falha "o erro de ReExibirMenu deveria ter texto"
End If
WScript.Echo "ReExibirMenu sem formulario: erro " & Hex(Err.Number)
On Error GoTo 0

' With ExibirMenu False it does nothing and succeeds.
ctl.ExibirMenu = False
ctl.ReExibirMenu

WScript.Echo "VBS OK"
WScript.Quit 0
