// The item field record: layout, packing and unpacking of the shortcut, the flag, the text
// fields and their widths.
#include <gtest/gtest.h>

#include "tq/model/item_record.h"
#include "value_print.h"

namespace tq::model {
namespace {

std::string U8(const String& s) {
    return ToUtf8(s);
}

String Pad(StringView s, size_t n) {
    String r(s);
    r.resize(n, u' ');
    return r;
}

TEST(ItemRecord, EmptyRecordLayout) {
    const String& r = RegistroVazio();
    ASSERT_EQ(r.size(), 121u);
    EXPECT_EQ(r[15], u'\x03');
    EXPECT_EQ(r[19], u'\x03');
    EXPECT_EQ(r[70], u'\x03');
    EXPECT_EQ(r.substr(0, 15), String(15, u' '));
    EXPECT_EQ(r.substr(71), String(50, u' '));
}

TEST(ItemRecord, KeyNamesInListOrder) {
    const auto teclas = NomesTeclas();
    ASSERT_EQ(teclas.size(), 38u);
    EXPECT_EQ(teclas[0], u"F1");
    EXPECT_EQ(teclas[11], u"F12");
    EXPECT_EQ(teclas[12], u"A");
    EXPECT_EQ(teclas[37], u"Z");
}

TEST(ItemRecord, ShortcutIsPackedIntoTheFirstFifteenPositions) {
    const String r = DefineCampo(Value(u"Ctrl+Shift+F5"), u"Tecla", u"");
    EXPECT_EQ(U8(r), U8(u"11F5" + String(11, u' ') + RegistroVazio().substr(15)));

    struct Case {
        const char16_t* written;
        const char16_t* packed;
    };
    for (const Case& c :
         {Case{u"Ctrl+F5", u"10F5"}, Case{u"Shift+A", u"01A"}, Case{u"+F2", u"00F2"},
          Case{u"F2", u"00F2"}, Case{u"Ctrl+Shift+F12", u"11F12"}, Case{u"  Shift+Z ", u"01Z"}}) {
        const String got = DefineCampo(Value(c.written), u"Tecla", RegistroVazio());
        EXPECT_EQ(U8(got.substr(0, 15)), U8(Pad(c.packed, 15))) << U8(c.written);
    }
}

TEST(ItemRecord, ShortcutIsWrittenOutAndReadsBackToTheSamePositions) {
    struct Case {
        const char16_t* packed;
        const char16_t* written;
        double ctrl, shift;
        int16_t combo;
    };
    for (const Case& c :
         {Case{u"11F5", u"Ctrl+Shift+F5", 1, 1, 4}, Case{u"10A", u"Ctrl+A", 1, 0, 12},
          Case{u"00F2", u"F2", 0, 0, 1}, Case{u"01Z", u"Shift+Z", 0, 1, 37}}) {
        const String r = DefineCampo(Value(c.packed), u"Tecla", u"");
        EXPECT_EQ(LeCampo(r, u"TeclaExtenso"), Value(c.written)) << U8(c.packed);
        EXPECT_EQ(LeCampo(r, u"TeclaCtrl"), Value::Double(c.ctrl));
        EXPECT_EQ(LeCampo(r, u"TeclaShift"), Value::Double(c.shift));
        EXPECT_EQ(LeCampo(r, u"TeclaCombo"), Value::Integer(c.combo));
        // The designer loads an entry by writing TeclaExtenso back: same positions 1-15.
        const String again = DefineCampo(LeCampo(r, u"TeclaExtenso"), u"Tecla", u"");
        EXPECT_EQ(U8(again.substr(0, 15)), U8(r.substr(0, 15)));
    }
}

TEST(ItemRecord, PackedZeroZeroMeansNoKeyAndEmptyBlanksTheShortcut) {
    const String r = DefineCampo(Value(u"Ctrl+F5"), u"Tecla", u"");
    const String none = DefineCampo(Value(u"00"), u"Tecla", r);
    EXPECT_EQ(U8(none.substr(0, 15)), U8(u"00" + String(13, u' ')));
    EXPECT_EQ(LeCampo(none, u"TeclaExtenso"), Value(u""));
    EXPECT_EQ(LeCampo(none, u"TeclaCombo"), Value::Integer(-1));

    const String blank = DefineCampo(Value(u""), u"Tecla", r);
    EXPECT_EQ(blank.substr(0, 15), String(15, u' '));
    EXPECT_EQ(LeCampo(blank, u"TeclaCtrl"), Value::Double(0));

    // Flags without a key give no shortcut text.
    const String flagsOnly = DefineCampo(Value(u"11"), u"Tecla", u"");
    EXPECT_EQ(LeCampo(flagsOnly, u"TeclaExtenso"), Value(u""));
    EXPECT_EQ(LeCampo(flagsOnly, u"TeclaCtrl"), Value::Double(1));
}

TEST(ItemRecord, ConsultaFlagOnlyFromOneOrExactlyTrue) {
    const auto flag = [](const Value& v) {
        return DefineCampo(v, u"MenuConsulta", u"").substr(16, 3);
    };
    EXPECT_EQ(flag(Value::Boolean(true)), u"1  ");
    EXPECT_EQ(flag(Value(u"True")), u"1  ");
    EXPECT_EQ(flag(Value::Integer(1)), u"1  ");
    EXPECT_EQ(flag(Value(u"true")), u"0  ");
    EXPECT_EQ(flag(Value::Boolean(false)), u"0  ");
    EXPECT_EQ(flag(Value::Integer(-1)), u"0  ");

    const String on = DefineCampo(Value::Boolean(true), u"MenuConsulta", u"");
    EXPECT_EQ(LeCampo(on, u"MenuConsulta"), Value::Boolean(true));
    // Never written: the field holds spaces and reads as False (a Boolean, not Empty).
    EXPECT_EQ(LeCampo(RegistroVazio(), u"MenuConsulta"), Value::Boolean(false));
}

TEST(ItemRecord, TextFieldsAreTrimmedAndKeepTheirPlaces) {
    String r;
    r = DefineCampo(Value(u"Ctrl+F5"), u"Tecla", r);
    r = DefineCampo(Value::Boolean(true), u"MenuConsulta", r);
    r = DefineCampo(Value(u"  ArqNov "), u"Nome", r);
    r = DefineCampo(Value(u"Cria um documento"), u"Descricao", r);
    ASSERT_EQ(r.size(), 121u);
    EXPECT_EQ(r.substr(20, 6), u"ArqNov");
    EXPECT_EQ(r.substr(71, 17), u"Cria um documento");
    EXPECT_EQ(LeCampo(r, u"Nome"), Value(u"ArqNov"));
    EXPECT_EQ(LeCampo(r, u"Descricao"), Value(u"Cria um documento"));
    EXPECT_EQ(LeCampo(r, u"TeclaExtenso"), Value(u"Ctrl+F5"));
    EXPECT_EQ(LeCampo(r, u"MenuConsulta"), Value::Boolean(true));
    // Rewriting one field leaves the others alone.
    const String r2 = DefineCampo(Value(u"Arq"), u"Nome", r);
    EXPECT_EQ(LeCampo(r2, u"Nome"), Value(u"Arq"));
    EXPECT_EQ(r2.substr(0, 20), r.substr(0, 20));
    EXPECT_EQ(r2.substr(70), r.substr(70));
}

TEST(ItemRecord, LongValuesAreCutAtTheirFieldAndNeverSpill) {
    const String longName(60, u'n');
    const String longDesc(70, u'd');
    const String longKey = u"Ctrl+" + String(20, u'K');
    String r;
    r = DefineCampo(Value(longKey), u"Tecla", r);
    r = DefineCampo(Value(longName), u"Nome", r);
    r = DefineCampo(Value(longDesc), u"Descricao", r);
    ASSERT_EQ(r.size(), 121u);
    EXPECT_EQ(r[15], u'\x03');
    EXPECT_EQ(r[19], u'\x03');
    EXPECT_EQ(r[70], u'\x03');
    EXPECT_EQ(LeCampo(r, u"Nome"), Value(String(50, u'n')));
    EXPECT_EQ(LeCampo(r, u"Descricao"), Value(String(50, u'd')));
    EXPECT_EQ(LeCampo(r, u"TeclaExtenso"), Value(u"Ctrl+" + String(13, u'K')));
    EXPECT_EQ(LeCampo(r, u"MenuConsulta"), Value::Boolean(false));
    // A packed value longer than the field is cut too.
    const String packed = DefineCampo(Value(u"10" + String(30, u'X')), u"Tecla", r);
    EXPECT_EQ(packed[15], u'\x03');
    EXPECT_EQ(packed.size(), 121u);
}

TEST(ItemRecord, UnknownNamesAndEmptyRecords) {
    const String r = DefineCampo(Value(u"Arq"), u"Nome", u"");
    EXPECT_EQ(DefineCampo(Value(u"F5"), u"TeclaExtenso", r), r);
    EXPECT_EQ(DefineCampo(Value(u"x"), u"nome", r), r);  // names are case-sensitive
    EXPECT_TRUE(LeCampo(r, u"Tecla").IsEmpty());
    EXPECT_TRUE(LeCampo(r, u"NOME").IsEmpty());
    for (const char16_t* campo : {u"Nome", u"TeclaExtenso", u"TeclaCombo", u"MenuConsulta"})
        EXPECT_TRUE(LeCampo(u"", campo).IsEmpty()) << U8(campo);
    // A write into an empty record starts from the empty record.
    EXPECT_EQ(DefineCampo(Value(u""), u"Nome", u""), RegistroVazio());
}

TEST(ItemRecord, RootTagReadsAsEmptyFields) {
    EXPECT_EQ(LeCampo(u"Raiz", u"Nome"), Value(u""));
    EXPECT_EQ(LeCampo(u"Raiz", u"Descricao"), Value(u""));
    EXPECT_EQ(LeCampo(u"Raiz", u"TeclaCtrl"), Value::Double(0));
    EXPECT_EQ(LeCampo(u"Raiz", u"TeclaCombo"), Value::Integer(-1));
    EXPECT_EQ(LeCampo(u"Raiz", u"MenuConsulta"), Value::Boolean(false));
}

TEST(ItemRecord, KeyIndexComesFromTheGivenList) {
    const String r = DefineCampo(Value(u"F12"), u"Tecla", u"");
    EXPECT_EQ(LeCampo(r, u"TeclaCombo"), Value::Integer(11));
    // A list filled twice holds every name twice: the first match counts.
    std::vector<String> twice(NomesTeclas().begin(), NomesTeclas().end());
    twice.insert(twice.end(), NomesTeclas().begin(), NomesTeclas().end());
    EXPECT_EQ(LeCampo(r, u"TeclaCombo", twice), Value::Integer(11));
    const std::vector<String> none;
    EXPECT_EQ(LeCampo(r, u"TeclaCombo", none), Value::Integer(-1));
    // Keys are matched exactly.
    const String lower = DefineCampo(Value(u"f12"), u"Tecla", u"");
    EXPECT_EQ(LeCampo(lower, u"TeclaCombo"), Value::Integer(-1));
}

}  // namespace
}  // namespace tq::model
