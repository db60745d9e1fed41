' A small tour of tqBiblioteca from a script: builds a menu tree, walks it, and prints it.
Option Explicit

Dim tree, arquivo, editar, item, i

Set tree = CreateObject("tqBiblioteca.MenuTree")
tree.Add "&Arquivo", "ARQ"
Set arquivo = tree("ARQ")
arquivo.SubMenu.Add "&Novo", "NOVO"
arquivo.SubMenu.Add "&Abrir", "ABRIR"
arquivo.SubMenu("ABRIR").TeclaExtenso = "Ctrl+A"
arquivo.SubMenu.Add "-", "SEP"
arquivo.SubMenu.Add "&Sair", "SAIR"
tree.Add "&Editar", "EDITAR"
Set editar = tree("EDITAR")
editar.SubMenu.Add "&Copiar", "COPIAR"
editar.SubMenu("COPIAR").Habilitado = False
tree.Add "A&juda", "AJUDA"
tree("AJUDA").SubMenu.Add "&Sobre", "SOBRE"

Sub Show(level, indent)
    Dim k, it, flags
    For k = 1 To level.Count
        Set it = level(k)
        flags = ""
        If Not it.Habilitado Then flags = " (desabilitado)"
        If it.TeclaExtenso <> "" Then flags = flags & " [" & it.TeclaExtenso & "]"
        WScript.Echo indent & it.Caption & "  <" & it.Nome & ">" & flags
        If it.SubMenu.Count > 0 Then Show it.SubMenu, indent & "    "
    Next
End Sub

WScript.Echo "tqBiblioteca.MenuTree com " & tree.Count & " menus:"
Show tree, "  "
WScript.Echo "DEMO OK"
