#include "platform/profile.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "platform/sysutils.h"

namespace {

std::string readBack(const TProfileData& data, std::string_view section, std::string_view key) {
    return data.ReadString(section, key, "<default>");
}

TEST(ProfileData, RemovesOnePairOfMatchingQuotes) {
    auto data = TProfileData::Parse(
        "[Q]\n"
        "double=\"val\"\n"
        "single='val'\n"
        "openOnly=\"val\n"
        "closeOnly=val'\n"
        "mixed=\"val'\n"
        "lone=\"\n"
        "empty=\"\"\n"
        "nested=\"\"val\"\"\n"
        "inner=\"a \"b\" c\"\n"
        "padded = \" p \" \n");
    EXPECT_EQ(readBack(data, "Q", "double"), "val");
    EXPECT_EQ(readBack(data, "Q", "single"), "val");
    EXPECT_EQ(readBack(data, "Q", "openOnly"), "\"val");
    EXPECT_EQ(readBack(data, "Q", "closeOnly"), "val'");
    EXPECT_EQ(readBack(data, "Q", "mixed"), "\"val'");
    EXPECT_EQ(readBack(data, "Q", "lone"), "\"");
    EXPECT_EQ(readBack(data, "Q", "empty"), "");
    EXPECT_EQ(readBack(data, "Q", "nested"), "\"val\"");
    EXPECT_EQ(readBack(data, "Q", "inner"), "a \"b\" c");
    // Blanks outside the quotes go; those inside are part of the value.
    EXPECT_EQ(readBack(data, "Q", "padded"), " p ");
}

TEST(ProfileData, BlanksAroundNamesAndValuesAreIgnored) {
    auto data = TProfileData::Parse(
        "[ section1 ]\r\n"
        "  key1 \t=\t value1  \r\n"
        "\t[\tsection2\t]  trailing text\r\n"
        "key 2 = two words \r\n");
    EXPECT_TRUE(data.SectionExists("section1"));
    EXPECT_TRUE(data.SectionExists(" section1 "));  // asked names are trimmed too
    EXPECT_EQ(readBack(data, "section1", "key1"), "value1");
    EXPECT_EQ(readBack(data, "section2", "key 2"), "two words");
}

TEST(ProfileData, NamesMatchWithoutRegardToCase) {
    auto data = TProfileData::Parse("[MySection]\r\nMyKey=1\r\n");
    EXPECT_EQ(readBack(data, "MYSECTION", "mykey"), "1");
    EXPECT_EQ(readBack(data, "mysection", "MYKEY"), "1");

    // A write under another spelling replaces the key as it is spelled in the file.
    data.Write("mysection", "MYKEY", "2");
    EXPECT_EQ(data.Serialize(), "[MySection]\r\nMyKey=2\r\n");
}

TEST(ProfileData, FirstOfDuplicateSectionsAndKeysWins) {
    auto data = TProfileData::Parse(
        "[A]\n"
        "k=first\n"
        "k=second\n"
        "[B]\n"
        "x=1\n"
        "[a]\n"
        "k=third\n"
        "j=only in the second\n");
    EXPECT_EQ(readBack(data, "A", "k"), "first");
    EXPECT_EQ(readBack(data, "a", "j"), "<default>");

    data.Write("A", "k", "new");
    data.Write("A", "j", "added");
    EXPECT_EQ(data.Serialize(),
              "[A]\n"
              "k=new\n"
              "k=second\n"
              "j=added\r\n"
              "[B]\n"
              "x=1\n"
              "[a]\n"
              "k=third\n"
              "j=only in the second\n");
    EXPECT_EQ(readBack(data, "A", "j"), "added");
}

TEST(ProfileData, MissingSectionKeyOrFileGivesDefaultWithoutTrailingBlanks) {
    auto data = TProfileData::Parse("[S]\r\nk=v\r\n");
    EXPECT_EQ(data.ReadString("T", "k", "dflt  \t"), "dflt");
    EXPECT_EQ(data.ReadString("S", "other", " lead kept "), " lead kept");
    EXPECT_FALSE(data.Find("S", "other").has_value());

    TProfileData none;
    EXPECT_EQ(none.ReadString("S", "k", "x "), "x");
    EXPECT_FALSE(none.SectionExists("S"));
    EXPECT_EQ(none.Serialize(), "");
}

TEST(ProfileData, LongValuesAreCutAt2047Characters) {
    std::string ascii(10000, 'x');
    std::string accented;
    for (int i = 0; i < 3000; ++i) accented += "\xC3\xA9";  // é
    auto data = TProfileData::Parse("[S]\nascii=" + ascii + "\naccented=" + accented + "\nshort=" +
                                    std::string(2047, 'y') + "\n");

    EXPECT_EQ(readBack(data, "S", "ascii"), std::string(2047, 'x'));
    EXPECT_EQ(data.Find("S", "ascii"), ascii);
    // Characters, not bytes, and never half a character.
    std::string cut = readBack(data, "S", "accented");
    EXPECT_EQ(cut.size(), 2047u * 2);
    EXPECT_TRUE(IsValidUtf8(cut));
    EXPECT_EQ(readBack(data, "S", "short"), std::string(2047, 'y'));
    // A default goes through the same buffer.
    EXPECT_EQ(data.ReadString("S", "missing", std::string(3000, 'd')), std::string(2047, 'd'));
}

TEST(ProfileData, OnlyLinesWithEqualsSignsAreKeys) {
    auto data = TProfileData::Parse(
        "orphan=before any section\n"
        "[S]\n"
        "name1\n"
        "name2=\n"
        "; commented=1\n"
        "  ;indented=2\n"
        "a=b=c\n"
        "[unclosed\n"
        "after=3\n"
        "[a]b]\n"
        "in=4\n");
    EXPECT_EQ(readBack(data, "S", "name1"), "<default>");
    EXPECT_EQ(readBack(data, "S", "name2"), "");
    // The platform's reader knows no comments: these are keys.
    EXPECT_EQ(readBack(data, "S", "; commented"), "1");
    EXPECT_EQ(readBack(data, "S", ";indented"), "2");
    // A "[" line without "]" opens no section; the last "]" closes the name.
    EXPECT_EQ(readBack(data, "S", "after"), "3");
    EXPECT_FALSE(data.SectionExists("unclosed"));
    EXPECT_EQ(readBack(data, "a]b", "in"), "4");
    EXPECT_EQ(readBack(data, "S", "a"), "b=c");
    EXPECT_EQ(readBack(data, "", "orphan"), "<default>");
}

TEST(ProfileData, LineEndsAllReadTheSameAndRoundTrip) {
    for (std::string eol : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(testing::PrintToString(eol));
        std::string text = "[S]" + eol + "a=1" + eol + eol + "[T]" + eol + "b=2";
        auto data = TProfileData::Parse(text);
        EXPECT_EQ(readBack(data, "S", "a"), "1");
        EXPECT_EQ(readBack(data, "T", "b"), "2");
        EXPECT_EQ(data.Serialize(), text);
    }
    std::string mixed = "[S]\ra=1\nb=2\r\nc=3\n\r\n";
    auto data = TProfileData::Parse(mixed);
    EXPECT_EQ(readBack(data, "S", "a") + readBack(data, "S", "b") + readBack(data, "S", "c"), "123");
    EXPECT_EQ(data.Serialize(), mixed);
}

TEST(ProfileData, Utf8BomIsAcceptedAndKept) {
    auto data = TProfileData::Parse("\xEF\xBB\xBF[S]\r\nk=v\r\n");
    EXPECT_EQ(readBack(data, "S", "k"), "v");
    data.Write("S", "k", "w");
    EXPECT_EQ(data.Serialize(), "\xEF\xBB\xBF[S]\r\nk=w\r\n");
}

TEST(ProfileData, Utf16FilesAreReadByTheirMarkAndStayUtf16) {
    const std::u16string text = u"[S]\r\nk=Блок 🎉\r\n";
    for (bool bigEndian : {false, true}) {
        std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t u : text + u"x=Ψ\r\n") {
            bytes += static_cast<char>(bigEndian ? u >> 8 : u & 0xFF);
            bytes += static_cast<char>(bigEndian ? u & 0xFF : u >> 8);
        }
        auto data = TProfileData::Parse(bytes.substr(0, bytes.size() - 10));  // without "x=Ψ\r\n"
        EXPECT_EQ(readBack(data, "S", "k"), "Блок 🎉");
        EXPECT_EQ(data.Serialize(), bytes.substr(0, bytes.size() - 10));
        data.Write("S", "x", "Ψ");
        EXPECT_EQ(data.Serialize(), bytes);
    }
}

TEST(ProfileData, InvalidUtf8IsReadAsAnsiAndStaysAnsi) {
    auto data = TProfileData::Parse("[S]\r\nk=caf\xE9\r\neuro=\x80\r\n");
    EXPECT_EQ(readBack(data, "S", "k"), "caf\xC3\xA9");
    EXPECT_EQ(readBack(data, "S", "euro"), "\xE2\x82\xAC");
    data.Write("S", "new", "na\xC3\xAFve");
    EXPECT_EQ(data.Serialize(), "[S]\r\nk=caf\xE9\r\neuro=\x80\r\nnew=na\xEFve\r\n");
    // A character the code page lacks makes the file UTF-16LE rather than "?".
    data.Write("S", "psi", "Ψ");
    const std::string wide = data.Serialize();
    EXPECT_EQ(wide.substr(0, 8), std::string("\xFF\xFE[\0S\0]\0", 8));
    EXPECT_EQ(readBack(TProfileData::Parse(wide), "S", "psi") + readBack(TProfileData::Parse(wide), "S", "k"), "Ψcafé");
    // So are ANSI bytes that would read back as UTF-8: "Ã©" is C3 A9 in 1252.
    TProfileData fresh;
    fresh.Write("S", "k", "Ã©");
    EXPECT_EQ(readBack(TProfileData::Parse(fresh.Serialize()), "S", "k"), "Ã©");

    // A stray ANSI byte written into a UTF-8 file must not turn the whole file
    // into ANSI at the next read.
    auto utf8 = TProfileData::Parse("[S]\r\nname=\xC3\x9C\r\n");
    utf8.Write("S", "other", "caf\xE9");
    EXPECT_TRUE(IsValidUtf8(utf8.Serialize()));
    auto reread = TProfileData::Parse(utf8.Serialize());
    EXPECT_EQ(readBack(reread, "S", "name"), "\xC3\x9C");
    EXPECT_EQ(readBack(reread, "S", "other"), "caf\xC3\xA9");
}

TEST(ProfileData, BinaryGarbageDoesNotBreakTheEngine) {
    std::mt19937 rng(12345);
    std::string alphabet = "[]=;\"' \t\r\nabcAB\xFF\xC3\x80\xEF\xBB\xBF";
    alphabet += '\0';
    for (int round = 0; round < 200; ++round) {
        std::string bytes;
        std::size_t length = rng() % 400;
        for (std::size_t i = 0; i < length; ++i)
            bytes += rng() % 4 == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
        SCOPED_TRACE(testing::PrintToString(bytes));
        auto data = TProfileData::Parse(bytes);
        EXPECT_EQ(data.Serialize(), bytes);
        data.Write("a", "b", "written");
        EXPECT_EQ(readBack(data, "a", "b"), "written");
        EXPECT_EQ(readBack(TProfileData::Parse(data.Serialize()), "a", "b"), "written");
    }
}

TEST(ProfileData, WritingInPlaceKeepsEveryOtherByte) {
    const std::string before =
        "; Tolvek settings\r\n"
        "\r\n"
        "[CONFIG]   ; trailing remark\r\n"
        "  Caption =  \"&Go\"  \r\n"
        "Left\t=\t5\n"
        "garbage line\r\n"
        "\r\n"
        "[ALLINFO]\r"
        "Legacy1=notepad x.txt\r\n";
    auto data = TProfileData::Parse(before);
    data.Write("CONFIG", "LEFT", "120");
    data.Write("config", "caption", "");
    data.Write("ALLINFO", "Legacy1", "calc");
    EXPECT_EQ(data.Serialize(),
              "; Tolvek settings\r\n"
              "\r\n"
              "[CONFIG]   ; trailing remark\r\n"
              "Caption=\r\n"
              "Left=120\n"
              "garbage line\r\n"
              "\r\n"
              "[ALLINFO]\r"
              "Legacy1=calc\r\n");
}

TEST(ProfileData, PaddedNamesWriteTheKeyThatReadersFind) {
    auto data = TProfileData::Parse("[a]\r\nk=old\r\n");
    data.Write(" a ", " k ", "new");
    data.Write("\tb", "x ", "1");
    EXPECT_EQ(data.Serialize(), "[a]\r\nk=new\r\n[b]\r\nx=1\r\n");
    EXPECT_EQ(data.ReadString(" a ", "k", ""), "new");
    EXPECT_EQ(TProfileData::Parse(data.Serialize()).ReadString("b", "x", ""), "1");
}

TEST(ProfileData, NewKeysGoAtTheEndOfTheirSectionBeforeBlankLines) {
    auto data = TProfileData::Parse(
        "[A]\r\n"
        "x=1\r\n"
        "; note\r\n"
        "\r\n"
        "\r\n"
        "[B]\r\n"
        "y=2\r\n"
        "[C]\r\n"
        "z=3");
    data.Write("A", "n", "4");
    data.Write("A", "m", "5");
    // The sections after the insertions must still find their own lines.
    data.Write("B", "y", "20");
    data.Write("B", "w", "6");
    data.Write("C", "z", "30");
    data.Write("C", "v", "7");
    EXPECT_EQ(data.Serialize(),
              "[A]\r\n"
              "x=1\r\n"
              "; note\r\n"
              "n=4\r\n"
              "m=5\r\n"
              "\r\n"
              "\r\n"
              "[B]\r\n"
              "y=20\r\n"
              "w=6\r\n"
              "[C]\r\n"
              "z=30\r\n"
              "v=7\r\n");
}

TEST(ProfileData, NewSectionsGoAtTheEndOfTheFile) {
    auto unterminated = TProfileData::Parse("[A]\nx=1");
    unterminated.Write("B", "k", "v");
    EXPECT_EQ(unterminated.Serialize(), "[A]\nx=1\r\n[B]\r\nk=v\r\n");

    auto blankTail = TProfileData::Parse("[A]\nx=1\n\n");
    blankTail.Write("B", "k", "v");
    blankTail.Write("B", "k2", "v2");
    EXPECT_EQ(blankTail.Serialize(), "[A]\nx=1\n\n[B]\r\nk=v\r\nk2=v2\r\n");

    TProfileData fresh;
    fresh.Write("App", "key", "string");
    EXPECT_EQ(fresh.Serialize(), "[App]\r\nkey=string\r\n");
    fresh.Write("App", "empty", "");
    EXPECT_EQ(fresh.Serialize(), "[App]\r\nkey=string\r\nempty=\r\n");
    EXPECT_EQ(fresh.Find("App", "empty"), "");
}

TEST(ProfileData, UnicodeValuesRoundTrip) {
    const std::string text = "\xC3\x9Cn\xC3\xAF" "c\xC3\xB8" "d\xC3\xA9 \xCE\xA8";  // Ünïcødé Ψ
    TProfileData data;
    data.Write("S", "k", text);
    EXPECT_EQ(readBack(data, "S", "k"), text);
    EXPECT_EQ(readBack(TProfileData::Parse(data.Serialize()), "S", "k"), text);
}

TEST(ProfileData, LineBreaksInWrittenTextAreIndexedAsARereadWouldSeeThem) {
    auto data = TProfileData::Parse("[S]\r\nk=1\r\n");
    data.Write("S", "k", "a\r\nb=c");
    data.Write("S", " spaced ", "d");
    for (const auto& view : {data, TProfileData::Parse(data.Serialize())}) {
        EXPECT_EQ(readBack(view, "S", "k"), "a");
        EXPECT_EQ(readBack(view, "S", "b"), "c");
        EXPECT_EQ(readBack(view, "S", "spaced"), "d");
    }
}

// Many writes in random order against a plain map: catches line indexes that
// go stale after insertions.
TEST(ProfileData, ManyWritesMatchASimpleModel) {
    std::mt19937 rng(7);
    auto data = TProfileData::Parse("; header\r\n[s0]\r\n\r\n[s2]\r\nk0=x\r\n\r\n");
    std::map<std::pair<std::string, std::string>, std::string> model{{{"s2", "k0"}, "x"}};
    for (int i = 0; i < 600; ++i) {
        std::string section = "s" + std::to_string(rng() % 6);
        std::string key = "k" + std::to_string(rng() % 15);
        std::string value = "v" + std::to_string(i);
        data.Write(rng() % 2 ? section : UpperCase(section), key, value);
        model[{section, key}] = value;
    }
    auto reread = TProfileData::Parse(data.Serialize());
    for (int s = 0; s < 6; ++s)
        for (int k = 0; k < 15; ++k) {
            std::string section = "s" + std::to_string(s), key = "k" + std::to_string(k);
            auto it = model.find({section, key});
            std::string expected = it == model.end() ? "<default>" : it->second;
            EXPECT_EQ(readBack(data, section, key), expected) << section << "/" << key;
            EXPECT_EQ(readBack(reread, section, key), expected) << section << "/" << key;
        }
}

TEST(ProfileData, HandlesAQuarterMillionKeys) {
    constexpr int kEntries = 65535;
    std::string text = "[PROGRAMS]\r\n";
    for (int n = 1; n <= kEntries; ++n) {
        std::string i = std::to_string(n);
        text += "Name" + i + "=Entry " + i + "\r\nProgName" + i + "=prog" + i + ".exe\r\nParam" + i +
                "=\r\nShortCut" + i + "=Ctrl+" + i + "\r\n";
    }
    auto data = TProfileData::Parse(text);
    int wrong = 0;
    for (int n = 1; n <= kEntries; ++n) {
        std::string i = std::to_string(n);
        wrong += data.ReadString("programs", "name" + i, "") != "Entry " + i;
        wrong += data.ReadString("PROGRAMS", "ShortCut" + i, "") != "Ctrl+" + i;
    }
    EXPECT_EQ(wrong, 0);
    data.Write("PROGRAMS", "Name65535", "last");
    data.Write("PROGRAMS", "Extra", "1");
    EXPECT_EQ(readBack(data, "PROGRAMS", "Name65535"), "last");
    EXPECT_EQ(readBack(data, "PROGRAMS", "Extra"), "1");
}

}  // namespace
