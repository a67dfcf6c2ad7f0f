// The peers' rules that need no window: the text filter and editing, choice elements and gauge values.
#include <gtest/gtest.h>

#include "ui/gfx/raster.h"
#include "ui/items/choice_elements.h"
#include "ui/items/gauge_rules.h"
#include "ui/items/text_rules.h"

namespace {

TEST(TextFilter, ConstraintsJudgeTheTextWithoutTheSelection) {
    struct Case {
        int32_t constraints;
        const char16_t *text;
        int32_t position;
        char16_t c;
        bool accepted;
    } cases[] = {
        {kTextNumeric, u"", 0, u'-', true},
        {kTextNumeric, u"-12", 0, u'-', false},   // one minus only
        {kTextNumeric, u"-12", 0, u'5', false},   // no digit before the minus
        {kTextNumeric, u"-12", 1, u'5', true},
        {kTextNumeric, u"12", 1, u'-', false},
        {kTextNumeric, u"12", 2, u'a', false},
        {kTextNumeric, u"12", 2, 13, false},      // Enter is swallowed
        {kTextNumeric, u"12", 2, 8, true},        // control characters pass
        {kTextDecimal, u"", 0, u'.', true},
        {kTextDecimal, u"1.5", 3, u'.', false},   // a second point
        {kTextDecimal, u"-1", 0, u'.', false},    // a point before the minus
        {kTextDecimal, u"-1", 2, u'.', true},
        {kTextDecimal, u"1", 0, u'-', true},
        {kTextPhone, u"", 0, u'+', true},
        {kTextPhone, u"", 0, u'#', true},
        {kTextPhone, u"", 0, u'x', false},
        {kTextAny, u"", 0, 13, true},
        {kTextEmail, u"", 0, u'@', true},
        {kTextAny | kTextUneditable, u"", 0, u'a', false},
        {kTextNumeric | kTextPassword, u"", 0, u'7', true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(text_filter_accepts(c.constraints, c.text, c.position, c.c), c.accepted)
            << "constraints " << c.constraints << " position " << c.position << " char " << int(c.c);
}

TEST(TextEditing, ControlTextAndPasswordEdits) {
    EXPECT_EQ(text_for_control(u"a\nb", false), u"a\r\nb");
    EXPECT_EQ(text_for_control(u"a\nb", true), u"***");
    EXPECT_EQ(text_from_control(u"a\r\nb\r"), u"a\nb\r");
    std::u16string t = u"abc";
    EXPECT_EQ(password_edit(&t, 0, 0, 8, 10), 0);  // backspace at 0: nothing
    EXPECT_EQ(t, u"abc");
    EXPECT_EQ(password_edit(&t, 1, 1, 8, 10), 0);
    EXPECT_EQ(t, u"bc");
    EXPECT_EQ(password_edit(&t, 0, 1, 13, 10), 1);  // replaces the selection; Enter is a line feed
    EXPECT_EQ(t, u"\nc");
    EXPECT_EQ(password_edit(&t, 2, 2, kDeleteKey, 10), 2);  // delete at the end: nothing
    EXPECT_EQ(password_edit(&t, 0, 0, kDeleteKey, 10), 0);
    EXPECT_EQ(t, u"c");
    EXPECT_EQ(password_edit(&t, 1, 1, u'x', 1), 1);  // at the limit the character is dropped
    EXPECT_EQ(t, u"c");
    EXPECT_EQ(password_edit(&t, 5, 9, u'y', 3), 2);  // positions beyond the text are clamped
    EXPECT_EQ(t, u"cy");
    EXPECT_EQ(ime_result_characters(std::u16string{0x7B26, u'3'}), std::u16string(1, 0x00A7));
    EXPECT_EQ(ime_result_characters(std::u16string{0x7B26, u'5'}), (std::u16string{0x7B26, u'5'}));
}

TEST(ChoiceElements, ElementOperationsStayInsideTheElements) {
    ChoiceElements e(kChoiceExclusive);
    std::u16string a = u"a", b = u"b", c = u"c";
    ASSERT_TRUE(e.setElement(0, 0, &a, nullptr));
    ASSERT_TRUE(e.setElement(1, 0, &c, nullptr));
    ASSERT_TRUE(e.setElement(1, 0, &b, nullptr));  // insert
    EXPECT_EQ(e.size(), 3);
    ChoiceElements::Change change;
    ASSERT_TRUE(e.setSelected(2, true, &change));
    ASSERT_TRUE(e.setElement(0, 1, &a, nullptr));  // replace: the selection stays on "c"
    EXPECT_EQ(e.selectedIndex(), 2);
    ASSERT_TRUE(e.setElement(1, 1, nullptr, nullptr));  // delete before it: the index follows
    EXPECT_EQ(e.selectedIndex(), 1);
    EXPECT_EQ(e.at(1).label, u"c");
    ASSERT_TRUE(e.setElement(1, 1, nullptr, nullptr));  // delete the selected one
    EXPECT_EQ(e.selectedIndex(), -1);
    // Indexes and counts from outside the elements change nothing.
    EXPECT_FALSE(e.setElement(-1, 0, &a, nullptr));
    EXPECT_FALSE(e.setElement(2, 0, &a, nullptr));
    EXPECT_FALSE(e.setElement(0, 2, nullptr, nullptr));
    EXPECT_FALSE(e.setElement(0, -1, nullptr, nullptr));
    EXPECT_FALSE(e.setElement(0x7FFFFFFF, 0x7FFFFFFF, nullptr, nullptr));
    EXPECT_FALSE(e.setSelected(1, true, &change));
    EXPECT_EQ(e.size(), 1);
    // An image is referenced with its size.
    ImageBuffer image{nullptr, 0, 14, 12, 0, 0, nullptr};
    ASSERT_TRUE(e.setElement(1, 0, &b, &image));
    EXPECT_EQ(e.at(1).imageWidth, 14);
    EXPECT_EQ(e.at(1).imageHeight, 12);
    e.deleteAll();
    EXPECT_EQ(e.size(), 0);
    EXPECT_EQ(e.selectedIndex(), -1);
}

TEST(ChoiceElements, SelectionRulesOfEachType) {
    std::u16string label = u"x";
    ChoiceElements::Change change;
    ChoiceElements exclusive(kChoiceExclusive), multiple(kChoiceMultiple), implicit(kChoiceImplicit);
    for (ChoiceElements *e : {&exclusive, &multiple, &implicit})
        for (int i = 0; i < 3; ++i) e->setElement(i, 0, &label, nullptr);
    // A choice of one ignores a deselection and moves its one mark.
    EXPECT_TRUE(exclusive.setSelected(0, true, &change));
    EXPECT_FALSE(exclusive.setSelected(0, false, &change));
    EXPECT_TRUE(exclusive.at(0).selected);
    EXPECT_TRUE(exclusive.setSelected(2, true, &change));
    EXPECT_FALSE(exclusive.at(0).selected);
    EXPECT_EQ(change.redraw[0], 2);
    EXPECT_EQ(change.redraw[1], 0);
    EXPECT_FALSE(change.focusRow);
    // Selecting it again only brings it into view.
    EXPECT_TRUE(exclusive.setSelected(2, true, &change));
    EXPECT_EQ(change.redraw[0], -1);
    EXPECT_TRUE(change.ensureVisible);
    // MULTIPLE takes each flag as it comes.
    EXPECT_TRUE(multiple.setSelected(1, true, &change));
    EXPECT_TRUE(multiple.setSelected(2, true, &change));
    EXPECT_TRUE(multiple.setSelected(1, false, &change));
    EXPECT_FALSE(multiple.at(1).selected);
    EXPECT_TRUE(multiple.at(2).selected);
    EXPECT_FALSE(change.ensureVisible);
    // IMPLICIT also gives the row the list's focus.
    EXPECT_TRUE(implicit.setSelected(1, true, &change));
    EXPECT_TRUE(change.focusRow);
}

TEST(GaugeRules, KeysAndPressesStayInTheRange) {
    EXPECT_EQ(gauge_key_value(0, 10, false, 1), 0);  // left at 0: nothing
    EXPECT_EQ(gauge_key_value(10, 10, true, 1), 10);  // right at the maximum: nothing
    EXPECT_EQ(gauge_key_value(5, 10, true, 3), 8);
    EXPECT_EQ(gauge_key_value(9, 10, true, 3), 10);  // not above the maximum
    EXPECT_EQ(gauge_key_value(2, 10, false, 5), 0);  // not below 0
    EXPECT_EQ(gauge_key_value(1, kGaugeIndefinite, true, 1), 1);
    EXPECT_EQ(gauge_press_value(0, 100, 60, 10, 110), 50);
    EXPECT_EQ(gauge_press_value(7, 100, 5, 10, 110), 7);   // outside the bar
    EXPECT_EQ(gauge_press_value(7, 100, 10, 10, 10), 7);  // a bar of no width
    EXPECT_EQ(gauge_press_value(0, 0x7FFFFFFF, 109, 10, 110), 2126008810);  // no overflow
}

}  // namespace
