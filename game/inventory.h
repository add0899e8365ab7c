#pragma once
// The 36-slot inventory (slots 0-8 are the hotbar), stacks of up to 64, the creative
// palette, the inventory screen's cursor stack and the villagers' trade.

#include <array>
#include <cstdint>
#include <string>

#include "world/block_registry.h"

inline constexpr int kInventorySlots = 36;
inline constexpr int kHotbarSlots = 9;
inline constexpr int kStackLimit = 64;

struct ItemStack {
  BlockId item = 0;  // 0: empty
  int32_t count = 0;
  bool empty() const { return item == 0 || count < 1; }
  bool operator==(const ItemStack&) const = default;
};

struct Inventory {
  std::array<ItemStack, kInventorySlots> slots{};
  int selected = 0;  // hotbar slot 0..8

  void clear();
  // Tops up stacks of the item first, then fills empty slots, in slot order; false when
  // not everything fit (what fit stays).
  bool add(BlockId item, int n);
  int count(BlockId item) const;
  bool isEmpty() const;
  // How many more of the item would fit.
  int roomFor(BlockId item) const;
  // Takes n of the item in slot order; false (and nothing taken) when there are fewer.
  bool remove(BlockId item, int n);
  // Takes n from the selected slot; false when it holds fewer.
  bool consumeSelected(int n);
  void select(int slot);
  const ItemStack& selectedStack() const { return slots[selected]; }
};

// The block creative mode places from an empty hotbar slot.
BlockId creativePaletteBlock(int hotbarSlot);

// A left click on an inventory-screen slot with `cursor` in hand: pick up, put down,
// swap, or merge as many as fit under 64.
void clickInventorySlot(ItemStack& slot, ItemStack& cursor);

// Closing the inventory screen returns the cursor stack (what does not fit is lost).
void returnCursorStack(Inventory& inventory, ItemStack& cursor);

enum class TradeResult { Traded, NeedPlanks, SurvivorsOnly };
// Eight planks for a bookshelf, in survival mode only.
TradeResult tradeWithVillager(Inventory& inventory, uint8_t gameMode);
// The message the game shows for a trade result (English; translated on display).
const char* tradeMessage(TradeResult result);
