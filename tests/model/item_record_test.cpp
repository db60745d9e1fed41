// The item field record: the packed shortcut, the flag, the text fields and their widths.
#include <gtest/gtest.h>

#include "tq/model/item_record.h"

namespace tq::model {

void PrintTo(const Value& v, std::ostream* os);  // value_test.cpp

namespace {

TEST(ItemRecord, ShortcutIsPackedIntoTheFirstFifteenPositionsAndReadsBackWrittenOut) {
    const struct {
        const char16_t *written, *packed, *read;  // what the page writes, positions 1-15, back
        double ctrl, shift;
        int16_t combo;
    } cases[] = {
        {u"Ctrl+Shift+F5", u"11F5", u"Ctrl+Shift+F5", 1, 1, 4},
        {u"Ctrl+F12", u"10F12", u"Ctrl+F12", 1, 0, 11},
        {u"  Shift+Z ", u"01Z", u"Shift+Z", 0, 1, 37},
        {u"+F2", u"00F2", u"F2", 0, 0, 1},
        {u"A", u"00A", u"A", 0, 0, 12},
        {u"f12", u"00f12", u"f12", 0, 0, -1},           // key names are matched exactly
        {u"11F5", u"11F5", u"Ctrl+Shift+F5", 1, 1, 4},  // a leading digit: already packed
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
        EXPECT_EQ(r, (c.packed + String(15, u' ')).substr(0, 15) + RegistroVazio().substr(15));
        EXPECT_EQ(LeCampo(r, u"TeclaExtenso"), Value(c.read));
        EXPECT_EQ(LeCampo(r, u"TeclaCtrl"), Value::Double(c.ctrl));
        EXPECT_EQ(LeCampo(r, u"TeclaShift"), Value::Double(c.shift));
        EXPECT_EQ(LeCampo(r, u"TeclaCombo"), Value::Integer(c.combo));
    }
}

TEST(ItemRecord, ConsultaFlagIsOneOnlyForOneOrExactlyTrue) {
    const std::pair<Value, bool> cases[] = {
        {Value::Boolean(true), true}, {Value(u"True"), true},  {Value::Integer(1), true},
        {Value(u" 1 "), true},        {Value(u"true"), false}, {Value::Boolean(false), false},
        {Value::Integer(-1), false},  {Value(u"11"), false}};
    for (const auto& [value, on] : cases) {
        const String r = DefineCampo(value, u"MenuConsulta", u"");
        EXPECT_EQ(r.substr(16, 3), on ? u"1  " : u"0  ") << testing::PrintToString(value);
        EXPECT_EQ(LeCampo(r, u"MenuConsulta"), Value::Boolean(on));
    }
    // Never written: the field holds spaces and reads as False (a Boolean, not Empty).
    EXPECT_EQ(LeCampo(RegistroVazio(), u"MenuConsulta"), Value::Boolean(false));
}

TEST(ItemRecord, FieldsAreTrimmedCutAtTheirWidthAndKeepTheirPlaces) {
    EXPECT_EQ(RegistroVazio(),
              String(15, u' ') + u"\x03   \x03" + String(50, u' ') + u"\x03" + String(50, u' '));
    String r = DefineCampo(Value(u"Ctrl+F5"), u"Tecla", u"");
    r = DefineCampo(Value::Boolean(true), u"MenuConsulta", r);
    r = DefineCampo(Value(u"  ArqNov "), u"Nome", r);
    r = DefineCampo(Value(u"Cria um documento"), u"Descricao", r);
    EXPECT_EQ(r.substr(20, 6) + r.substr(71, 17), u"ArqNovCria um documento");
    EXPECT_EQ(LeCampo(r, u"Nome").ToText() + LeCampo(r, u"Descricao").ToText(),
              u"ArqNovCria um documento");
    const String r2 = DefineCampo(Value(String(60, u'n')), u"Nome", r);
    const String r3 = DefineCampo(Value(String(70, u'd')), u"Descricao", r2);
    ASSERT_EQ(r3.size(), kTamanhoRegistro);
    EXPECT_EQ(LeCampo(r3, u"Nome"), Value(String(50, u'n')));
    EXPECT_EQ(LeCampo(r3, u"Descricao"), Value(String(50, u'd')));
    EXPECT_EQ(r2.substr(0, 20) + r2.substr(70), r.substr(0, 20) + r.substr(70));
    EXPECT_EQ(r3.substr(0, 71), r2.substr(0, 71));
    // Writing one field leaves the others alone; a record of another length is reshaped.
    EXPECT_EQ(DefineCampo(Value(u"x"), u"Nome", u"abc"),
              DefineCampo(Value(u"x"), u"Nome", u"abc" + RegistroVazio().substr(3)));
    EXPECT_EQ(DefineCampo(Value(u"x"), u"Nome", r3 + u"zz"), DefineCampo(Value(u"x"), u"Nome", r3));
    // Unknown (case-sensitive) names change nothing and read Empty, as an empty record does.
    r = DefineCampo(Value(u"F12"), u"Tecla", u"");
    EXPECT_EQ(DefineCampo(Value(u"x"), u"nome", r), r);
    EXPECT_EQ(DefineCampo(Value(u"F5"), u"TeclaExtenso", r), r);
    EXPECT_EQ(DefineCampo(Value(u""), u"Nome", u""), RegistroVazio());
    EXPECT_TRUE(LeCampo(r, u"NOME").IsEmpty());
    for (const char16_t* campo : {u"Nome", u"TeclaExtenso", u"TeclaCombo", u"MenuConsulta"})
        EXPECT_TRUE(LeCampo(u"", campo).IsEmpty()) << ToUtf8(campo);
    EXPECT_EQ(LeCampo(u"Raiz", u"TeclaCombo"), Value::Integer(-1));  // the root's tag
}

}  // namespace
}  // namespace tq::model
