// The item field record: its layout, the packed and written-out shortcut, the flag, the text
// fields and their widths.
#include <gtest/gtest.h>

#include "tq/model/item_record.h"

namespace tq::model {

void PrintTo(const Value& v, std::ostream* os);  // value_test.cpp

namespace {

String Spaces(size_t n) {
    return String(n, u' ');
}

TEST(ItemRecord, EmptyRecordAndKeyList) {
    EXPECT_EQ(RegistroVazio(),
              Spaces(15) + u"\x03" + Spaces(3) + u"\x03" + Spaces(50) + u"\x03" + Spaces(50));
    const auto teclas = NomesTeclas();
    ASSERT_EQ(teclas.size(), 38u);
    EXPECT_EQ(teclas[0] + teclas[11] + teclas[12] + teclas[37], u"F1F12AZ");
}

TEST(ItemRecord, ShortcutIsPackedIntoTheFirstFifteenPositionsAndReadsBackWrittenOut) {
    const struct {
        const char16_t* written;  // what the page writes
        const char16_t* packed;   // positions 1-15
        const char16_t* read;     // TeclaExtenso read back
        double ctrl, shift;
        int16_t combo;
    } cases[] = {
        {u"Ctrl+Shift+F5", u"11F5", u"Ctrl+Shift+F5", 1, 1, 4},
        {u"Ctrl+F12", u"10F12", u"Ctrl+F12", 1, 0, 11},
        {u"Shift+A", u"01A", u"Shift+A", 0, 1, 12},
        {u"  Shift+Z ", u"01Z", u"Shift+Z", 0, 1, 37},
        {u"+F2", u"00F2", u"F2", 0, 0, 1},
        {u"F1", u"00F1", u"F1", 0, 0, 0},
        {u"f12", u"00f12", u"f12", 0, 0, -1},           // key names are matched exactly
        {u"11F5", u"11F5", u"Ctrl+Shift+F5", 1, 1, 4},  // a leading digit: already packed
        {u"00", u"00", u"", 0, 0, -1},                  // no key
        {u"11", u"11", u"", 1, 1, -1},                  // flags without a key: no text
        {u"9x", u"9x", u"", 9, 0, -1},                  // the digit itself is read back
        {u"", u"", u"", 0, 0, -1},                      // blanks the shortcut
        {u"Ctrl+KKKKKKKKKKKKKKKKKKKK", u"10KKKKKKKKKKKKK", u"Ctrl+KKKKKKKKKKKKK", 1, 0, -1},
        {u"10XXXXXXXXXXXXXXXXXXXXXXX", u"10XXXXXXXXXXXXX", u"Ctrl+XXXXXXXXXXXXX", 1, 0, -1},
    };
    const String other = DefineCampo(Value(u"Ctrl+Shift+F9"), u"Tecla", u"");
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.written));
        const String r = DefineCampo(Value(c.written), u"Tecla", other);
        String packed = c.packed;
        packed.resize(15, u' ');
        EXPECT_EQ(r, packed + RegistroVazio().substr(15));
        EXPECT_EQ(LeCampo(r, u"TeclaExtenso"), Value(c.read));
        EXPECT_EQ(LeCampo(r, u"TeclaCtrl"), Value::Double(c.ctrl));
        EXPECT_EQ(LeCampo(r, u"TeclaShift"), Value::Double(c.shift));
        EXPECT_EQ(LeCampo(r, u"TeclaCombo"), Value::Integer(c.combo));
        // The page loads an entry by writing TeclaExtenso back: the same positions 1-15.
        if (*c.read) {
            EXPECT_EQ(DefineCampo(Value(c.read), u"Tecla", u"").substr(0, 15), r.substr(0, 15));
        }
    }
}

TEST(ItemRecord, ConsultaFlagIsOneOnlyForOneOrExactlyTrue) {
    const std::pair<Value, const char16_t*> cases[] = {
        {Value::Boolean(true), u"1  "}, {Value(u"True"), u"1  "}, {Value::Integer(1), u"1  "},
        {Value(u" 1 "), u"1  "},        {Value(u"true"), u"0  "}, {Value::Boolean(false), u"0  "},
        {Value::Integer(-1), u"0  "},   {Value(u"11"), u"0  "},
    };
    for (const auto& [value, field] : cases) {
        const String r = DefineCampo(value, u"MenuConsulta", u"");
        EXPECT_EQ(r.substr(16, 3), field) << testing::PrintToString(value);
        EXPECT_EQ(LeCampo(r, u"MenuConsulta"), Value::Boolean(field[0] == u'1'));
    }
    // Never written: the field holds spaces and reads as False (a Boolean, not Empty).
    EXPECT_EQ(LeCampo(RegistroVazio(), u"MenuConsulta"), Value::Boolean(false));
}

TEST(ItemRecord, TextFieldsAreTrimmedCutAtTheirWidthAndKeepTheirPlaces) {
    String r = DefineCampo(Value(u"Ctrl+F5"), u"Tecla", u"");
    r = DefineCampo(Value::Boolean(true), u"MenuConsulta", r);
    r = DefineCampo(Value(u"  ArqNov "), u"Nome", r);
    r = DefineCampo(Value(u"Cria um documento"), u"Descricao", r);
    EXPECT_EQ(r.substr(20, 6) + r.substr(71, 17), u"ArqNovCria um documento");
    EXPECT_EQ(LeCampo(r, u"Nome"), Value(u"ArqNov"));
    EXPECT_EQ(LeCampo(r, u"Descricao"), Value(u"Cria um documento"));
    const String r2 = DefineCampo(Value(String(60, u'n')), u"Nome", r);
    const String r3 = DefineCampo(Value(String(70, u'd')), u"Descricao", r2);
    ASSERT_EQ(r3.size(), kTamanhoRegistro);
    EXPECT_EQ(LeCampo(r3, u"Nome"), Value(String(50, u'n')));
    EXPECT_EQ(LeCampo(r3, u"Descricao"), Value(String(50, u'd')));
    // Writing one field leaves the others alone, separators included.
    EXPECT_EQ(r2.substr(0, 20) + r2.substr(70), r.substr(0, 20) + r.substr(70));
    EXPECT_EQ(r3.substr(0, 71), r2.substr(0, 71));
    // A record of another length is first brought to the record's shape.
    EXPECT_EQ(DefineCampo(Value(u"x"), u"Nome", u"abc"),
              DefineCampo(Value(u"x"), u"Nome", u"abc" + RegistroVazio().substr(3)));
    EXPECT_EQ(DefineCampo(Value(u"x"), u"Nome", r3 + u"zz"), DefineCampo(Value(u"x"), u"Nome", r3));
}

TEST(ItemRecord, UnknownNamesEmptyRecordsAndTheRootTag) {
    const String r = DefineCampo(Value(u"Arq"), u"Nome", u"");
    EXPECT_EQ(DefineCampo(Value(u""), u"Nome", u""), RegistroVazio());
    EXPECT_EQ(DefineCampo(Value(u"F5"), u"TeclaExtenso", r), r);
    EXPECT_EQ(DefineCampo(Value(u"x"), u"nome", r), r);  // names are case-sensitive
    for (const char16_t* campo : {u"Tecla", u"NOME"}) EXPECT_TRUE(LeCampo(r, campo).IsEmpty());
    for (const char16_t* campo : {u"Nome", u"TeclaExtenso", u"TeclaCombo", u"MenuConsulta"})
        EXPECT_TRUE(LeCampo(u"", campo).IsEmpty()) << ToUtf8(campo);
    EXPECT_EQ(LeCampo(u"Raiz", u"Nome"), Value(u""));
    EXPECT_EQ(LeCampo(u"Raiz", u"Descricao"), Value(u""));
    EXPECT_EQ(LeCampo(u"Raiz", u"TeclaCtrl"), Value::Double(0));
    EXPECT_EQ(LeCampo(u"Raiz", u"TeclaCombo"), Value::Integer(-1));
    EXPECT_EQ(LeCampo(u"Raiz", u"MenuConsulta"), Value::Boolean(false));
}

TEST(ItemRecord, KeyIndexIsTheFirstMatchInTheGivenList) {
    const String r = DefineCampo(Value(u"F12"), u"Tecla", u"");
    std::vector<String> twice(NomesTeclas().begin(), NomesTeclas().end());
    twice.insert(twice.end(), NomesTeclas().begin(), NomesTeclas().end());
    EXPECT_EQ(LeCampo(r, u"TeclaCombo", twice), Value::Integer(11));
    EXPECT_EQ(LeCampo(r, u"TeclaCombo", std::vector<String>{}), Value::Integer(-1));
}

}  // namespace
}  // namespace tq::model
