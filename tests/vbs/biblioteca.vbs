' A late-binding client of tqBiblioteca, run by Wine's own cscript.exe.  Every member is reached
' by name through IDispatch, as any script or VB program reaches it.
'
' Wine's cscript prints nothing and exits 0 when a script dies (a failed CreateObject, say), so
' this script prints its own last line "VBS OK" and the test requires it.  Any mismatch prints a
' line starting with "FALHA" and ends with WScript.Quit 1.  The file is plain ASCII: cscript reads
' scripts as code page 1252, so accented text is built with Chr().
Option Explicit

Dim falhas
falhas = 0

Sub Confere(descricao, obtido, esperado)
    If VarType(obtido) <> VarType(esperado) Then
        WScript.Echo "FALHA: " & descricao & ": tipo " & TypeName(obtido) & ", esperado " & TypeName(esperado)
        falhas = falhas + 1
    ElseIf obtido <> esperado Then
        WScript.Echo "FALHA: " & descricao & ": obtido [" & obtido & "], esperado [" & esperado & "]"
        falhas = falhas + 1
    End If
End Sub

Sub ConfereVerdade(descricao, condicao)
    If Not condicao Then
        WScript.Echo "FALHA: " & descricao
        falhas = falhas + 1
    End If
End Sub

' Runs Item(indice) on a level and reports the error it raised: "numero|descricao", or "" when
' there was none.
Function ErroDeItem(nivel, indice)
    Dim x
    On Error Resume Next
    Set x = nivel(indice)
    ErroDeItem = ""
    If Err.Number <> 0 Then ErroDeItem = Hex(Err.Number) & "|" & Err.Description
    On Error GoTo 0
End Function

Dim acao, descricao
acao = "A" & Chr(231) & Chr(227) & "o"                 ' Acao with c-cedilla and a-tilde
descricao = "Descri" & Chr(231) & Chr(227) & "o"       ' Descricao

Dim t
Set t = CreateObject("tqBiblioteca.MenuTree")
Confere "Count de uma arvore nova", t.Count, 0

' Two levels: Arquivo (Novo, Sair) and Editar (Copiar).  Add answers the new Count.
Confere "Add devolve o novo Count", t.Add("&Arquivo", "ARQ"), 1
Confere "Add devolve o novo Count", t.Add("&Editar", "EDT"), 2
Dim arq
Set arq = t.Item(1)
arq.SubMenu.Add "&Novo", "NOVO"
arq.SubMenu.Add "-", "SEP"
arq.SubMenu.Add "&Sair", "SAIR"
t("EDT").SubMenu.Add "&Copiar", "COPIAR"
Confere "Count do primeiro nivel", t.Count, 2
Confere "Count do SubMenu", arq.SubMenu.Count, 3

Dim novo
Set novo = arq.SubMenu(1)

' Every property, put through one reference...
novo.Caption = "&Novo " & acao
novo.TextoMenu = "&Novo " & acao & vbTab & "Ctrl+N"
novo.Descricao = descricao & " do novo"
novo.TeclaExtenso = "Ctrl+N"
novo.MenuConsulta = True
novo.Visivel = False
novo.VisivelDefault = False
novo.Habilitado = False
novo.HabilitadoDefault = True
novo.HndMenu = 1001
Dim sair
Set sair = t("ARQ").SubMenu("SAIR")
sair.HndMenu = 1003
sair.Habilitado = False
t("EDT").SubMenu(1).HndMenu = 1004

' ...and read back through fresh ones, by position and by name, default member included.
Dim n
Set n = t.Item("ARQ").SubMenu.Item(1)
Confere "Nome", n.Nome, "NOVO"
Confere "Caption", n.Caption, "&Novo " & acao
Confere "TextoMenu", n.TextoMenu, "&Novo " & acao & vbTab & "Ctrl+N"
Confere "Descricao", n.Descricao, descricao & " do novo"
Confere "TeclaExtenso", n.TeclaExtenso, "Ctrl+N"
Confere "MenuConsulta", n.MenuConsulta, True
Confere "Visivel", n.Visivel, False
Confere "VisivelDefault", n.VisivelDefault, False
Confere "Habilitado", n.Habilitado, False
Confere "HabilitadoDefault", n.HabilitadoDefault, True
Confere "HndMenu", n.HndMenu, CLng(1001)
Confere "por nome no SubMenu", t(1).SubMenu("NOVO").Caption, "&Novo " & acao
Confere "por posicao, membro padrao", t(1).Nome, "ARQ"
Confere "por nome, membro padrao", t("EDT").Nome, "EDT"
Confere "posicao como Double", t(2.0).Nome, "EDT"
Dim k
k = 2
Confere "posicao numa variavel", t(k).Nome, "EDT"
Confere "Habilitado de Sair", t(1).SubMenu(3).Habilitado, False
Confere "separador", t(1).SubMenu("SEP").Caption, "-"

' ItemPorHnd at any depth; the three flags are accepted and ignored; 0 never matches.
ConfereVerdade "ItemPorHnd(1001)", t.ItemPorHnd(1001, True, False, True) Is novo
Confere "ItemPorHnd(1004)", t.ItemPorHnd(1004, True, False, True).Nome, "COPIAR"
ConfereVerdade "ItemPorHnd(0) e Nothing", t.ItemPorHnd(0, True, False, True) Is Nothing
ConfereVerdade "ItemPorHnd(9999) e Nothing", t.ItemPorHnd(9999, True, False, True) Is Nothing
sair.HndMenu = 2003
ConfereVerdade "o HndMenu antigo nao acha mais", t.ItemPorHnd(1003, True, False, True) Is Nothing
Confere "o HndMenu novo acha", t.ItemPorHnd(CLng(2003), True, False, True).Nome, "SAIR"

' A bad index raises an error with its text.
Dim e
e = ErroDeItem(t, 7)
ConfereVerdade "Item(7) deveria falhar", e <> ""
Confere "texto do erro de Item(7)", Mid(e, InStr(e, "|") + 1), Chr(205) & "ndice fora do intervalo: 7 (Count = 2)"
e = ErroDeItem(t, "NADA")
Confere "texto do erro de Item(""NADA"")", Mid(e, InStr(e, "|") + 1), "Nome n" & Chr(227) & "o encontrado: ""NADA"""
e = ErroDeItem(t, True)
ConfereVerdade "Item(True) deveria falhar com texto: " & e, InStr(e, "Tipo de " & Chr(237) & "ndice inv" & Chr(225) & "lido") > 0

' For Each walks a level in order.
Dim item, nomes
nomes = ""
For Each item In t(1).SubMenu
    nomes = nomes & item.Nome & ";"
Next
Confere "For Each", nomes, "NOVO;SEP;SAIR;"

' Clear empties a level; an entry a client still holds stays usable.
t(2).SubMenu.Clear
Confere "Count depois de Clear", t(2).SubMenu.Count, 0
t.Clear
Confere "Count depois de Clear", t.Count, 0
Confere "entrada guardada depois de Clear", arq.Nome, "ARQ"

' Variables reach the by-reference parameters (Add's strings, ItemPorHnd's flags) as references
' to Variants; they work like literals and parenthesised expressions, and are left as they were.
Dim cap, nome, vazio, sim, nao
cap = "&Ajuda"
nome = "AJU"
Confere "Add com variaveis", t.Add(cap, nome), 1
t.Add cap, nome
t.Add "&Sobre", "SOBRE"
t.Add (cap), (nome)
Call t.Add(cap & "2", nome & "2")
t.Add vazio, "VAZIO"
Confere "Caption do Add com variaveis", t(2).Caption, "&Ajuda"
Confere "Nome do Add com variaveis", t(2).Nome, "AJU"
Confere "Add com parenteses", t(4).Caption & "|" & t(4).Nome, "&Ajuda|AJU"
Confere "Add com Call", t(5).Nome, "AJU2"
Confere "variavel vazia como Caption", t("VAZIO").Caption, ""
Confere "variaveis intactas", cap & "|" & nome, "&Ajuda|AJU"
ConfereVerdade "variavel vazia intacta", IsEmpty(vazio)
sim = True
nao = False
t(3).HndMenu = 3001
ConfereVerdade "ItemPorHnd com variaveis", t.ItemPorHnd(3001, sim, nao, sim) Is t(3)
Confere "flag intacta", nao, False

If falhas = 0 Then
    WScript.Echo "VBS OK"
    WScript.Quit 0
End If
WScript.Echo "VBS terminou com " & falhas & " falha(s)"
WScript.Quit 1
