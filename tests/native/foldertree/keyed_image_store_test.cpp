#include <gtest/gtest.h>

#include "foldertree/keyed_image_store.h"

namespace tf::foldertree {
namespace {

// Applies a compaction to a list of image names the way an image list would
// hold them, and checks that every key still finds its own image.
class KeyedImageStoreTest : public ::testing::Test {
protected:
    void Add(const std::string& key) {
        EXPECT_EQ(store.Add(key), static_cast<int>(images.size()));
        images.push_back("image of " + key);
    }
    void Remove(const std::vector<std::string>& keys) {
        const KeyedImageStore::Compaction plan = store.Remove(keys);
        for (const auto& move : plan.moves) {
            EXPECT_LT(move.to, move.from);
            images[move.to] = images[move.from];
        }
        images.resize(plan.count);
        moves = plan.moves.size();
    }
    void ExpectKeysFindTheirImages(const std::vector<std::string>& keys) {
        EXPECT_EQ(store.Count(), static_cast<int>(keys.size()));
        for (const std::string& key : keys) {
            const auto index = store.IndexOf(key);
            ASSERT_TRUE(index) << key;
            EXPECT_EQ(images[*index], "image of " + key);
        }
    }

    KeyedImageStore store;
    std::vector<std::string> images;
    std::size_t moves = 0;
};

TEST_F(KeyedImageStoreTest, RemovingFromTheMiddleShiftsLaterImages) {
    for (const char* key : {"Desktop", "C:", "C:\\a", "C:\\b", "D:"}) Add(key);
    Remove({"C:\\a"});
    ExpectKeysFindTheirImages({"Desktop", "C:", "C:\\b", "D:"});
    EXPECT_EQ(*store.IndexOf("D:"), 3);
    EXPECT_FALSE(store.IndexOf("C:\\a"));

    Remove({"Desktop", "D:", "no such key"});
    ExpectKeysFindTheirImages({"C:", "C:\\b"});
    Add("E:");
    ExpectKeysFindTheirImages({"C:", "C:\\b", "E:"});
}

TEST_F(KeyedImageStoreTest, RemovingTheTailMovesNothing) {
    for (int i = 0; i < 100; ++i) Add("k" + std::to_string(i));
    std::vector<std::string> tail;
    for (int i = 40; i < 100; ++i) tail.push_back("k" + std::to_string(i));
    Remove(tail);
    EXPECT_EQ(moves, 0u);
    EXPECT_EQ(store.Count(), 40);
}

TEST_F(KeyedImageStoreTest, RemovingEverythingAndNothing) {
    Add("a");
    Add("b");
    Remove({});
    ExpectKeysFindTheirImages({"a", "b"});
    Remove({"b", "a", "a"});
    ExpectKeysFindTheirImages({});
}

}  // namespace
}  // namespace tf::foldertree
