// The interception layer's message tables: slots, reuse, every message.
#include <gtest/gtest.h>

#include "skin/interception/message_table.h"

namespace tf::skin {
namespace {

using AddResult = MessageTable::AddResult;

TEST(MessageTable, AMessageIsHeldOnceAndOneDeleteRemovesIt) {
    MessageTable table;
    EXPECT_EQ(table.Add(0x85), AddResult::kAdded);
    EXPECT_EQ(table.Add(0x86), AddResult::kAdded);
    EXPECT_TRUE(table.Delete(0x85));
    // 0x86 is already there behind the freed slot: it must not be added
    // into the freed slot a second time.
    EXPECT_EQ(table.Add(0x86), AddResult::kAlreadyThere);
    EXPECT_TRUE(table.Delete(0x86));
    EXPECT_FALSE(table.Contains(0x86));
    EXPECT_FALSE(table.Delete(0x86));
    EXPECT_EQ(table.count(), 2);  // deleting frees slots, it does not shrink
}

TEST(MessageTable, AFullTableTakesAMessageOnlyIntoAFreedSlot) {
    MessageTable table;
    for (std::uint32_t m = 1; m <= MSG_ENTRIES; ++m) ASSERT_EQ(table.Add(0x400 + m), AddResult::kAdded);
    EXPECT_EQ(table.Add(0x500), AddResult::kOverflow);
    EXPECT_EQ(table.Add(0x401), AddResult::kAlreadyThere);
    ASSERT_TRUE(table.Delete(0x410));
    EXPECT_EQ(table.Add(0x500), AddResult::kAdded);
    EXPECT_EQ(table.slot(15), 0x500u);
    EXPECT_EQ(table.count(), MSG_ENTRIES);
    EXPECT_EQ(table.Add(0x501), AddResult::kOverflow);
    EXPECT_FALSE(table.Contains(0x410));
}

TEST(MessageTable, EveryMessageAndBack) {
    MessageTable table;
    EXPECT_FALSE(table.Contains(0x0F));
    table.Add(ALL_MESSAGES);
    EXPECT_EQ(table.count(), -1);
    EXPECT_TRUE(table.Contains(0x0F));
    EXPECT_TRUE(table.Contains(0));
    table.Add(0x14);  // a specific message ends "every message"
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(table.slot(0), 0x14u);
    EXPECT_FALSE(table.Contains(0x0F));
    EXPECT_TRUE(table.Delete(ALL_MESSAGES));
    EXPECT_EQ(table.count(), 0);
    EXPECT_FALSE(table.Contains(0x14));
}

TEST(MessageTable, FreedSlotsDoNotRegisterMessageZero) {
    MessageTable table;
    table.Add(0x14);
    table.Delete(0x14);
    EXPECT_FALSE(table.Contains(0));
}

TEST(HexText, UpperCaseWithoutLeadingZeros) {
    EXPECT_EQ(HexText(0x14), "14");
    EXPECT_EQ(HexText(0), "0");
    EXPECT_EQ(HexText(0xABC), "ABC");
    EXPECT_EQ(HexText(0xFFFFFFFFu), "FFFFFFFF");
}

}  // namespace
}  // namespace tf::skin
