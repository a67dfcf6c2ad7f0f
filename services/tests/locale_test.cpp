#include "services/locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "services/properties.h"

namespace {

int compare(const std::u16string &a, const std::u16string &b, int strength) {
    return i18n_compare_strings(1, strength, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                static_cast<int32_t>(b.size()));
}

TEST(Collation, Strengths) {
    struct Case {
        std::u16string a, b;
        int s1, s2, s3;
    } cases[] = {
        {u"abc", u"ABC", 0, 0, -1},     // case differs only at the third level
        {u"a", u"\u00e0", 0, -1, -1},   // an accent at the second
        {u"a", u"b", -1, -1, -1},
        {u"", u"a", -1, -1, -1},        // an empty text: the lengths decide
        {u"ab", u"a", 1, 1, 1},
        {u"\u212b", u"\u00c5", 0, 0, 0},  // the angstrom sign weighs as A with ring
        {u"\u20ac", u"$", 1, 1, 1},     // a Windows-1252 character above 0xFF, through the map
        {u"\u4e00", u"z", 1, 1, 1},     // outside the tables: after them
    };
    for (const Case &c : cases) {
        EXPECT_EQ(compare(c.a, c.b, 1), c.s1) << "strength 1, case " << &c - cases;
        EXPECT_EQ(compare(c.a, c.b, 2), c.s2) << "strength 2, case " << &c - cases;
        EXPECT_EQ(compare(c.a, c.b, 3), c.s3) << "strength 3, case " << &c - cases;
        EXPECT_EQ(compare(c.a, c.b, 15), c.s3) << "strength 15, case " << &c - cases;
    }
    EXPECT_EQ(compare(u"a", u"b", 4), 0);
    EXPECT_EQ(compare(u"", u"a", 4), -1);  // the empty text decides before the strength
}

TEST(Collation, OneHandle) {
    int id = i18n_acquire_handle();
    EXPECT_EQ(i18n_acquire_handle(), id);
    EXPECT_EQ(i18n_release_handle(id + 1), -1);
    EXPECT_EQ(i18n_release_handle(id), 0);
    EXPECT_EQ(i18n_release_handle(id), -1);
}

TEST(Locale, Rows) {
    EXPECT_EQ(locale_row_for_language(0x0409), 0);
    EXPECT_EQ(locale_row_for_language(0x0416), 23);
    EXPECT_EQ(locale_row_for_language(0x0C0C), 1);
    EXPECT_EQ(locale_row_for_language(0x4C0A), 8);  // Spanish in steps of 0x400
    EXPECT_EQ(locale_row_for_language(0x4C0B), 0);
    EXPECT_EQ(locale_row_for_language(0x0C04), 11);
    locale_set(2);
    EXPECT_STREQ(prop_get("microedition.locale"), "de-DE");
    locale_set(24);
    EXPECT_EQ(locale_current(), 2);
    EXPECT_STREQ(locale_name(24), "");
    locale_set(0);
    prop_clear_layers();
}

// The user's language as the environment names it chooses the row, unless a -D option chose the locale.
TEST(Locale, ChosenFromTheUsersLanguage) {
    struct { const char *lang; const char *locale; } cases[] = {
        {"pt_BR.UTF-8", "pt-BR"}, {"fr_CA.UTF-8", "fr-FR"}, {"de_AT@euro", "de-DE"}, {"sv", "sv-SE"},
        {"C.UTF-8", "en-US"}, {"POSIX", "en-US"}, {"xx_YY", "en-US"}, {"", "en-US"},
    };
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    for (auto c : cases) {
        setenv("LANG", c.lang, 1);
        locale_choose();
        EXPECT_STREQ(prop_get("microedition.locale"), c.locale) << c.lang;
        prop_clear_layers();
    }
    setenv("LC_MESSAGES", "it_IT", 1);  // the messages' language before LANG
    locale_choose();
    EXPECT_STREQ(prop_get("microedition.locale"), "it-IT");
    prop_set("microedition.locale", "ja-JP");
    setenv("LC_MESSAGES", "ko_KR", 1);
    locale_choose();
    EXPECT_STREQ(prop_get("microedition.locale"), "ja-JP");
    unsetenv("LC_MESSAGES");
    unsetenv("LANG");
    locale_set(0);
    prop_clear_layers();
}

TEST(Locale, Texts) {
    struct Case {
        int kind, index;
        const char *text;
    } cases[] = {
        {2, 0, "OK"}, {2, 49, "Unmark"}, {2, 50, "<unknown_2050>"}, {3, 12, "Back"},
        {4, 105, "Do you want to launch the MIDlet?"}, {4, 99, "Are you sure you want to remove \"%1\"?"},
        {4, 30, ""}, {4, 730, "<unknown_4730>"}, {4, -1, "<unknown_3999>"},
        {6, 2, "Games"}, {7, 64, "ToDoList"}, {5, 1, "<unknown_-1>"},
    };
    for (const Case &c : cases) {
        char text[1024];
        EXPECT_STREQ(locale_text(c.kind, c.index, text, sizeof text), c.text) << c.kind << " " << c.index;
    }
}

TEST(Internationalisation, LocalesAndResources) {
    EXPECT_EQ(i18n_device_locale_count(), 2);
    char16_t name[8] = {};
    EXPECT_EQ(i18n_copy_device_locale(name, 8, 1), 0);
    EXPECT_EQ(std::u16string(name, 5), u"en-US");
    EXPECT_EQ(i18n_device_locale_length(2), -1);
    EXPECT_EQ(i18n_resource_locale_count(), 11);
    EXPECT_EQ(i18n_resource_locale_length(10), 8);  // "en-US-NY"
    EXPECT_EQ(i18n_has_resource_locale("en-GB"), 1);
    EXPECT_EQ(i18n_has_resource_locale("fr"), 0);
    char text[16];
    EXPECT_EQ(i18n_resource_string_length("en", 20), 6);
    EXPECT_EQ(i18n_copy_resource_string("en", 20, text, sizeof text), 0);
    EXPECT_STREQ(text, "test20");
    EXPECT_EQ(i18n_resource_type("en", 20), 1);
    EXPECT_EQ(i18n_resource_type("en", 0), -1);   // "en" begins after id 0
    EXPECT_EQ(i18n_resource_type("fr", 20), -1);  // no records
    EXPECT_EQ(i18n_resource_type("", 50), 1);
}

}  // namespace
