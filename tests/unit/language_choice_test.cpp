// The per-resource language choice as a pure function, and the dialog font substitution on
// hand-built templates.
#include <gtest/gtest.h>
#include "dialogs/ui.h"
#include <cstring>
#include <vector>

namespace {

constexpr LANGID kEnglish = 9, kUs = 1033, kCzech = 1029, kSlovak = 1051, kGerman = 1031, kJapanese = 1041;

LANGID Choose(std::vector<LANGID> available, LANGID preferred, LANGID user, LANGID system) {
    return ChooseResourceLanguage(available.data(), static_cast<int>(available.size()), preferred, user, system);
}

}  // namespace

TEST(LanguageChoice, AutomaticFollowsTheUserLocaleAndFallsBackToEnglish) {
    std::vector<LANGID> translated = {kEnglish, kCzech, kSlovak};
    EXPECT_EQ(kEnglish, Choose(translated, 0, kGerman, kGerman));
    EXPECT_EQ(kSlovak, Choose(translated, 0, kSlovak, kSlovak));
    EXPECT_EQ(kCzech, Choose(translated, 0, kCzech, kUs));
    // German user on a Czech system: the system's language comes before English.
    EXPECT_EQ(kCzech, Choose(translated, 0, kGerman, kCzech));
    // British English: its own id, then US (sublanguage 1), then neutral English.
    EXPECT_EQ(kEnglish, Choose(translated, 0, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), kJapanese));
}

TEST(LanguageChoice, ChosenLanguageWinsAndEnglishFindsTheUsOnlyResources) {
    std::vector<LANGID> translated = {kEnglish, kCzech, kSlovak};
    std::vector<LANGID> usVariant = {kCzech, kUs, kSlovak};   // dialog 1007, menu 2001
    std::vector<LANGID> untranslated = {kUs};                 // registry names, accelerators
    EXPECT_EQ(kCzech, Choose(translated, kCzech, kUs, kUs));
    EXPECT_EQ(kSlovak, Choose(usVariant, kSlovak, kCzech, kCzech));
    EXPECT_EQ(kUs, Choose(usVariant, kEnglish, kCzech, kCzech));
    EXPECT_EQ(kEnglish, Choose(translated, kEnglish, kSlovak, kSlovak));
    EXPECT_EQ(kUs, Choose(untranslated, kCzech, kSlovak, kGerman));
    EXPECT_EQ(kUs, Choose(usVariant, 0, kGerman, kGerman));
    // A preference whose primary language is 0 counts as automatic.
    EXPECT_EQ(kSlovak, Choose(translated, 0x0400, kSlovak, kSlovak));
}

TEST(LanguageChoice, TriesSublanguagesInOrderThenNeutralThenLowest) {
    // Canadian English: 0x1009, then 0x0409, 0x0009, then sublanguages 2, 3, ...
    EXPECT_EQ(0x0809, Choose({0x0809, 0x0C09}, 0, 0x1009, kJapanese));
    EXPECT_EQ(0x0C09, Choose({kCzech, 0x0C09}, 0, kGerman, kJapanese));   // via the English step
    EXPECT_EQ(0x0400, Choose({0x0400, kCzech}, 0, kGerman, kGerman));
    EXPECT_EQ(0x0000, Choose({0x0000, kCzech}, 0, kGerman, kGerman));
    EXPECT_EQ(kGerman, Choose({kGerman, 1036}, 0, kJapanese, kJapanese));
    EXPECT_EQ(0, Choose({}, kCzech, kCzech, kCzech));
}

namespace {

// An extended dialog template: header, no menu, no class, a title, the font, one static item.
struct TemplateBuilder {
    std::vector<BYTE> bytes;
    void Word(WORD w) { bytes.push_back(LOBYTE(w)); bytes.push_back(HIBYTE(w)); }
    void Dword(DWORD d) { Word(LOWORD(d)); Word(HIWORD(d)); }
    void Text(const wchar_t* s) { do Word(*s); while (*s++); }
    void Align() { while (bytes.size() % 4) bytes.push_back(0); }
};

std::vector<BYTE> ExtendedTemplate(DWORD style, const wchar_t* face, size_t* itemOffset = nullptr) {
    TemplateBuilder t;
    t.Word(1); t.Word(0xFFFF); t.Dword(0); t.Dword(0); t.Dword(style);
    t.Word(1); t.Word(0); t.Word(0); t.Word(100); t.Word(50);
    t.Word(0); t.Word(0); t.Text(L"Go");
    if (style & DS_SETFONT) { t.Word(8); t.Word(FW_BOLD); t.bytes.push_back(1); t.bytes.push_back(238); t.Text(face); }
    t.Align();
    if (itemOffset) *itemOffset = t.bytes.size();
    t.Dword(0); t.Dword(0); t.Dword(WS_CHILD | WS_VISIBLE); t.Word(5); t.Word(5); t.Word(40); t.Word(10);
    t.Dword(1234); t.Word(0xFFFF); t.Word(0x0082); t.Text(L"Row"); t.Word(0);
    return t.bytes;
}

}  // namespace

TEST(DialogFont, ShellFontBecomesSegoeUiNinePointsAndTheItemsMoveUp) {
    size_t itemOffset = 0;
    std::vector<BYTE> original = ExtendedTemplate(DS_SETFONT | DS_MODALFRAME | WS_POPUP, L"MS Shell Dlg 2", &itemOffset);
    std::vector<BYTE> copy = original;
    DWORD size = static_cast<DWORD>(copy.size());
    ASSERT_TRUE(SubstituteDialogFont(copy.data(), &size));
    EXPECT_EQ(original.size() - 12, size);
    size_t fontAt = 26 + 2 + 2 + 6;   // header, menu, class, "Go"
    EXPECT_EQ(9, *reinterpret_cast<WORD*>(&copy[fontAt]));
    EXPECT_EQ(FW_BOLD, *reinterpret_cast<WORD*>(&copy[fontAt + 2]));
    EXPECT_EQ(1, copy[fontAt + 4]);
    EXPECT_EQ(238, copy[fontAt + 5]);
    EXPECT_STREQ(L"Segoe UI", reinterpret_cast<wchar_t*>(&copy[fontAt + 6]));
    // The item follows 12 bytes earlier, unchanged and still DWORD-aligned.
    EXPECT_EQ(0u, (itemOffset - 12) % 4);
    EXPECT_EQ(0, memcmp(&original[itemOffset], &copy[itemOffset - 12], original.size() - itemOffset));
    // Applied again, the face no longer matches: nothing changes.
    std::vector<BYTE> once(copy.begin(), copy.begin() + size);
    DWORD again = size;
    EXPECT_FALSE(SubstituteDialogFont(copy.data(), &again));
    EXPECT_EQ(size, again);
    EXPECT_EQ(0, memcmp(once.data(), copy.data(), size));
}

TEST(DialogFont, OtherTemplatesStayAsTheyAre) {
    auto unchanged = [](std::vector<BYTE> bytes) {
        std::vector<BYTE> before = bytes;
        DWORD size = static_cast<DWORD>(bytes.size());
        bool changed = SubstituteDialogFont(bytes.data(), &size);
        return !changed && size == before.size() && bytes == before;
    };
    EXPECT_TRUE(unchanged(ExtendedTemplate(DS_SETFONT, L"Tahoma")));
    EXPECT_TRUE(unchanged(ExtendedTemplate(DS_MODALFRAME, L"")));
    EXPECT_TRUE(unchanged(ExtendedTemplate(DS_SETFONT, L"MS Shell Dlg")));
    std::vector<BYTE> plain = ExtendedTemplate(DS_SETFONT, L"MS Shell Dlg 2");
    plain[2] = 0; plain[3] = 0;   // no signature: an old-style DLGTEMPLATE
    EXPECT_TRUE(unchanged(plain));
    // Cut off inside the face name: rejected without reading past the end.
    std::vector<BYTE> cut = ExtendedTemplate(DS_SETFONT, L"MS Shell Dlg 2");
    cut.resize(26 + 2 + 2 + 6 + 6 + 10);
    EXPECT_TRUE(unchanged(cut));
    DWORD none = 0;
    EXPECT_FALSE(SubstituteDialogFont(nullptr, &none));
}
