// The toolkit's own containers against plain reference models, under long
// random sequences of changes: the key index (open addressing with removal
// by shifting) and the ordered slots behind node positions.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "toolkit/internal/key_index.h"
#include "toolkit/internal/ordered_slots.h"

namespace qvr::toolkit::internal {
namespace {

struct Item {
  std::string key;
  int32_t slot = -1;
};
struct ItemKey {
  static std::string_view Of(const Item* i) { return i->key; }
};
struct ItemSlot {
  static int32_t& Of(Item* i) { return i->slot; }
  static int32_t Of(const Item* i) { return i->slot; }
};

TEST(ToolkitStructures, KeyIndexAgreesWithAMap) {
  std::mt19937 rng(7);
  KeyIndex<Item, ItemKey> index;
  std::map<std::string, std::unique_ptr<Item>> reference;
  for (int step = 0; step < 60000; ++step) {
    // Few distinct keys, so runs collide, wrap and shift often.
    std::string key = "k" + std::to_string(rng() % 3000);
    if (rng() % 3 != 0) {
      if (!reference.count(key)) {
        auto item = std::make_unique<Item>(Item{key});
        index.Insert(item.get());
        reference.emplace(key, std::move(item));
      }
    } else {
      index.Erase(key);
      reference.erase(key);
    }
    if (step % 997 == 0) {
      ASSERT_EQ(index.Size(), reference.size());
      for (int k = 0; k < 3000; ++k) {
        std::string probe = "k" + std::to_string(k);
        auto it = reference.find(probe);
        ASSERT_EQ(index.Find(probe), it == reference.end() ? nullptr : it->second.get()) << probe;
      }
    }
  }
  index.Clear();
  EXPECT_EQ(index.Find("k1"), nullptr);
}

TEST(ToolkitStructures, OrderedSlotsAgreeWithAVector) {
  std::mt19937 rng(11);
  OrderedSlots<Item, ItemSlot> slots;
  std::vector<Item*> reference;
  std::vector<std::unique_ptr<Item>> storage;
  for (int step = 0; step < 20000; ++step) {
    int action = static_cast<int>(rng() % 10);
    if (action < 5 || reference.empty()) {
      storage.push_back(std::make_unique<Item>());
      Item* item = storage.back().get();
      if (action == 0 && !reference.empty()) {
        size_t at = rng() % (reference.size() + 1);
        slots.Insert(static_cast<int32_t>(at), item);
        reference.insert(reference.begin() + static_cast<std::ptrdiff_t>(at), item);
      } else {
        slots.PushBack(item);
        reference.push_back(item);
      }
    } else {
      // Removal, from the front more often than elsewhere (as a refresh does).
      size_t at = action < 8 ? 0 : rng() % reference.size();
      slots.Erase(reference[at]);
      reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(at));
    }
    ASSERT_EQ(slots.Size(), static_cast<int32_t>(reference.size()));
    if (step % 101 == 0) {
      for (size_t i = 0; i < reference.size(); ++i) {
        ASSERT_EQ(slots.At(static_cast<int32_t>(i)), reference[i]);
        ASSERT_EQ(slots.PositionOf(reference[i]), static_cast<int32_t>(i));
      }
      EXPECT_EQ(slots.At(static_cast<int32_t>(reference.size())), nullptr);
      EXPECT_EQ(slots.At(-1), nullptr);
    }
  }
}

}  // namespace
}  // namespace qvr::toolkit::internal
