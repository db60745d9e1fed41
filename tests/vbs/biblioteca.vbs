' tqBiblioteca reached by name through IDispatch from Wine's cscript.  cscript prints nothing and
' exits 0 when a script dies, so the test requires the last line "VBS OK".  Plain ASCII: accents
' are built with Chr() (cscript reads code page 1252).
Option Explicit
Dim falhas : falhas = 0

Sub Confere(descricao, obtido, esperado)
    If VarType(obtido) <> VarType(esperado) Then
        WScript.Echo "FALHA: " & descricao & ": tipo " & TypeName(obtido) & ", esperado " & TypeName(esperado)
        falhas = falhas + 1
    ElseIf obtido <> esperado Then
        WScript.Echo "FALHA: " & descricao & ": obtido [" & obtido & "], esperado [" & esperado & "]"
        falhas = falhas + 1
    End If
End Sub

Function ErroDeItem(nivel, indice)  ' the text of the error Item(indice) raises
    Dim x
    On Error Resume Next
    Set x = nivel(indice)
    ErroDeItem = Err.Description
    On Error GoTo 0
End Function

Dim acao : acao = "A" & Chr(231) & Chr(227) & "o"
Dim t : Set t = CreateObject("tqBiblioteca.MenuTree")
Confere "Add devolve o novo Count", t.Add("&Arquivo", "ARQ"), 1
Confere "Add devolve o novo Count", t.Add("&Editar", "EDT"), 2
Dim arq : Set arq = t.Item(1)
arq.SubMenu.Add "&Novo", "NOVO"
arq.SubMenu.Add "-", "SEP"
arq.SubMenu.Add "&Sair", "SAIR"
t("EDT").SubMenu.Add "&Copiar", "COPIAR"
Dim novo : Set novo = arq.SubMenu(1)

' Each property put through one reference reads back through a fresh one.
Dim d : d = "Descri" & Chr(231) & Chr(227) & "o"
novo.Caption = "&Novo " & acao : novo.TextoMenu = acao & vbTab & "Ctrl+N" : novo.Descricao = d
novo.TeclaExtenso = "Ctrl+N" : novo.MenuConsulta = True : novo.Visivel = False
novo.VisivelDefault = False : novo.Habilitado = False : novo.HabilitadoDefault = True
novo.HndMenu = 1001
Dim n : Set n = t.Item("ARQ").SubMenu.Item(1)
Confere "Caption", n.Caption, "&Novo " & acao
Confere "TextoMenu", n.TextoMenu, acao & vbTab & "Ctrl+N"
Confere "Descricao", n.Descricao, d
Confere "TeclaExtenso", n.TeclaExtenso, "Ctrl+N"
Confere "MenuConsulta", n.MenuConsulta, True
Confere "Visivel", n.Visivel, False
Confere "VisivelDefault", n.VisivelDefault, False
Confere "Habilitado", n.Habilitado, False
Confere "HabilitadoDefault", n.HabilitadoDefault, True
Confere "HndMenu", n.HndMenu, CLng(1001)
Confere "Nome", novo.Nome, "NOVO"
Confere "por nome, membro padrao", t(1).SubMenu("NOVO").Caption, "&Novo " & acao
Confere "posicao como Double", t(2.0).Nome, "EDT"
Dim k : k = 2 : Confere "posicao numa variavel", t(k).Nome, "EDT"

' ItemPorHnd at any depth; the flags are ignored; 0 never matches; a new HndMenu replaces the old.
t("EDT").SubMenu(1).HndMenu = 1004
Confere "ItemPorHnd(1001)", t.ItemPorHnd(1001, True, False, True) Is novo, True
Confere "ItemPorHnd(1004)", t.ItemPorHnd(1004, True, False, True).Nome, "COPIAR"
Confere "ItemPorHnd(0)", t.ItemPorHnd(0, True, False, True) Is Nothing, True
novo.HndMenu = 2001
Confere "HndMenu antigo", t.ItemPorHnd(1001, True, False, True) Is Nothing, True
Confere "HndMenu novo", t.ItemPorHnd(CLng(2001), True, False, True).Nome, "NOVO"

Confere "Item(7)", ErroDeItem(t, 7), Chr(205) & "ndice fora do intervalo: 7 (Count = 2)"
Confere "Item(""NADA"")", ErroDeItem(t, "NADA"), "Nome n" & Chr(227) & "o encontrado: ""NADA"""
Confere "Item(True)", InStr(ErroDeItem(t, True), "Tipo de " & Chr(237) & "ndice inv" & Chr(225) & "lido") > 0, True

Dim item, nomes
For Each item In t(1).SubMenu
    nomes = nomes & item.Nome & ";"
Next
Confere "For Each", nomes, "NOVO;SEP;SAIR;"

' Clear empties a level; an entry a client still holds stays usable.
t.Clear
Confere "Count depois de Clear", t.Count, 0
Confere "entrada guardada depois de Clear", arq.Nome, "ARQ"

' Variables reach the by-reference parameters as references to Variants and stay as they were.
Dim cap, nome, vazio, nao
cap = "&Ajuda" : nome = "AJU" : nao = False
Confere "Add com variaveis", t.Add(cap, nome), 1
t.Add (cap), (nome)
Call t.Add(cap & "2", nome & "2")
t.Add vazio, "VAZIO"
Confere "Add com variaveis, parenteses e Call", t(1).Caption & t(2).Nome & t(3).Nome, "&AjudaAJUAJU2"
Confere "variavel vazia como Caption", t("VAZIO").Caption, ""
Confere "variaveis intactas", cap & nome, "&AjudaAJU"
Confere "variavel vazia intacta", IsEmpty(vazio), True
t(3).HndMenu = 3001
Confere "ItemPorHnd com variaveis", t.ItemPorHnd(3001, nao, nao, nao) Is t(3), True
Confere "flag intacta", nao, False

If falhas = 0 Then WScript.Echo "VBS OK" Else WScript.Echo falhas & " falha(s)"
WScript.Quit falhas
