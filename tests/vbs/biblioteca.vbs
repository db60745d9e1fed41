' tqBiblioteca reached by name through IDispatch from Wine's cscript, which exits 0 when a script
' dies: the test requires the last line "VBS OK".  Accents are built with Chr() (code page 1252).
Option Explicit
Dim falhas : falhas = 0
Sub Confere(descricao, obtido, esperado)  ' types that cannot compare stop the script: a failure too
    If VarType(obtido) <> VarType(esperado) Or obtido <> esperado Then
        WScript.Echo "FALHA: " & descricao & ": obtido [" & obtido & "] " & TypeName(obtido) & _
            ", esperado [" & esperado & "] " & TypeName(esperado)
        falhas = falhas + 1
    End If
End Sub

Dim acao : acao = "A" & Chr(231) & Chr(227) & "o"
Dim t : Set t = CreateObject("tqBiblioteca.MenuTree")
Confere "Add devolve o novo Count", t.Add("&Arquivo", "ARQ") + t.add("&Editar", "EDT"), 3
Dim arq : Set arq = t.Item(1)
arq.SubMenu.Add "&Novo", "NOVO" : arq.SubMenu.Add "&Sair", "SAIR"
Dim novo : Set novo = arq.SubMenu(1)

' Each property put through one reference reads back through a fresh one, names in any case.
Dim d : d = "Descri" & Chr(231) & Chr(227) & "o"
novo.Caption = "&Novo " & acao : novo.textomenu = acao & vbTab & "N" : novo.Descricao = d
novo.TeclaExtenso = "Ctrl+N" : novo.MenuConsulta = True : novo.Visivel = False
novo.VisivelDefault = False : novo.Habilitado = False : novo.HabilitadoDefault = True
novo.HndMenu = 1001
Dim n : Set n = t.Item("ARQ").SubMenu.Item(1)
Confere "propriedades", n.Caption & "|" & n.TextoMenu & "|" & n.Descricao & "|" & n.TeclaExtenso & _
    "|" & n.MenuConsulta & n.Visivel & n.VisivelDefault & n.Habilitado & n.HabilitadoDefault, _
    "&Novo " & acao & "|" & acao & vbTab & "N|" & d & "|Ctrl+N|TrueFalseFalseFalseTrue"
Confere "HndMenu", n.HndMenu, CLng(1001)
Confere "Nome, membro padrao, Double", novo.Nome & t(1).SubMenu("NOVO").Caption & t(2.0).Nome, _
    "NOVO&Novo " & acao & "EDT"
Confere "ItemPorHnd", t.ItemPorHnd(1001, True, False, True) Is novo, True

' A failure reaches the script with its number, text and source.
On Error Resume Next
Dim x : Set x = t(7)
Confere "Item(7)", Hex(Err.Number) & " " & Err.Source & ": " & Err.Description, _
    "8002000B tqBiblioteca: " & Chr(205) & "ndice fora do intervalo: 7 (Count = 2)"
Err.Clear : t.NaoExiste
Confere "membro inexistente", Err.Number, CLng(438)
On Error GoTo 0

Dim item, nomes : For Each item In t(1).SubMenu : nomes = nomes & item.Nome & ";" : Next
Confere "For Each", nomes, "NOVO;SAIR;"
t.Clear
Confere "entrada guardada depois de Clear", t.Count & arq.Nome, "0ARQ"

' Variables reach the by-reference parameters as references to Variants and stay as they were.
Dim cap, nome, vazio, nao : cap = "&Ajuda" : nome = "AJU" : nao = False
t.Add (cap), (nome)
Call t.Add(cap & "2", nome & "2")
t.Add vazio, "VAZIO"
Confere "Add com variaveis", t(1).Caption & t(2).Nome & t("VAZIO").Caption & cap & nome, _
    "&AjudaAJU2&AjudaAJU"
t(3).HndMenu = 3001
Confere "ItemPorHnd com variaveis", t.ItemPorHnd(3001, nao, nao, nao) Is t(3), True
Confere "variaveis intactas", IsEmpty(vazio) And Not nao, True

If falhas = 0 Then WScript.Echo "VBS OK" Else WScript.Echo falhas & " falha(s)"
WScript.Quit falhas
