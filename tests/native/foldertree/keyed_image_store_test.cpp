#include <gtest/gtest.h>
#include <map>

#include "foldertree/keyed_image_store.h"

namespace tf::foldertree {
namespace {

// Plays an image list beside the store: appends when told, applies each
// compaction, and checks that every key still finds its own picture.
class KeyedImageStoreTest : public ::testing::Test {
protected:
    void Add(const std::string& key, const std::string& picture) {
        const KeyedImageStore::Placement placement = store.Add(key, picture);
        if (placement.added) {
            EXPECT_EQ(placement.index, static_cast<int>(images.size()));
            images.push_back(picture);
        }
        pictures[key] = picture;
    }
    void Add(const std::string& key) { Add(key, "picture of " + key); }
    void Remove(const std::vector<std::string>& keys) {
        const KeyedImageStore::Compaction plan = store.Remove(keys);
        for (const auto& move : plan.moves) {
            EXPECT_LT(move.to, move.from);
            images[move.to] = images[move.from];
        }
        images.resize(plan.count);
        moves = plan.moves.size();
        for (const std::string& key : keys) pictures.erase(key);
    }
    void ExpectKeysFindTheirPictures() {
        EXPECT_EQ(store.KeyCount(), static_cast<int>(pictures.size()));
        EXPECT_EQ(store.Count(), static_cast<int>(images.size()));
        for (const auto& [key, picture] : pictures) {
            const auto index = store.IndexOf(key);
            ASSERT_TRUE(index) << key;
            EXPECT_EQ(images[*index], picture) << key;
        }
    }

    KeyedImageStore store;
    std::vector<std::string> images;
    std::map<std::string, std::string> pictures;
    std::size_t moves = 0;
};

TEST_F(KeyedImageStoreTest, RemovingFromTheMiddleShiftsLaterImages) {
    for (const char* key : {"Desktop", "C:", "C:\\a", "C:\\b", "D:"}) Add(key);
    Remove({"C:\\a"});
    ExpectKeysFindTheirPictures();
    EXPECT_EQ(*store.IndexOf("D:"), 3);
    EXPECT_FALSE(store.IndexOf("C:\\a"));

    Remove({"Desktop", "D:", "no such key"});
    ExpectKeysFindTheirPictures();
    Add("E:");
    ExpectKeysFindTheirPictures();
}

TEST_F(KeyedImageStoreTest, EqualPicturesShareOneImageUntilTheLastKeyGoes) {
    Add("Desktop");
    for (int i = 0; i < 1000; ++i) Add("C:\\f" + std::to_string(i), "folder");
    Add("C:\\special", "special folder");
    EXPECT_EQ(store.Count(), 3);
    EXPECT_EQ(store.KeyCount(), 1002);

    std::vector<std::string> most;
    for (int i = 0; i < 999; ++i) most.push_back("C:\\f" + std::to_string(i));
    Remove(most);
    EXPECT_EQ(store.Count(), 3);  // "C:\f999" still shows the folder picture
    ExpectKeysFindTheirPictures();

    Remove({"C:\\f999"});
    EXPECT_EQ(store.Count(), 2);
    ExpectKeysFindTheirPictures();
    Add("C:\\again", "folder");  // a removed picture comes back as a new image
    EXPECT_EQ(store.Count(), 3);
    ExpectKeysFindTheirPictures();
}

TEST_F(KeyedImageStoreTest, RemovingTheTailMovesNothing) {
    for (int i = 0; i < 100; ++i) Add("k" + std::to_string(i));
    std::vector<std::string> tail;
    for (int i = 40; i < 100; ++i) tail.push_back("k" + std::to_string(i));
    Remove(tail);
    EXPECT_EQ(moves, 0u);
    EXPECT_EQ(store.Count(), 40);
    ExpectKeysFindTheirPictures();
}

TEST_F(KeyedImageStoreTest, RefilingAKeyKeepsCountsRight) {
    Add("a", "one");
    Add("b", "one");
    Add("a", "two");
    EXPECT_EQ(*store.IndexOf("a"), 1);
    Remove({"b"});  // "one" has no user left
    ExpectKeysFindTheirPictures();
    EXPECT_EQ(store.Count(), 1);
    Remove({"a", "a"});
    ExpectKeysFindTheirPictures();
    EXPECT_EQ(store.Count(), 0);
}

}  // namespace
}  // namespace tf::foldertree
