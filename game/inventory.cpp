#include "game/inventory.h"

#include <algorithm>

void Inventory::clear() {
  slots.fill(ItemStack{});
}

bool Inventory::add(BlockId item, int n) {
  if (item == 0 || n < 1) return true;
  int remaining = n;
  for (ItemStack& s : slots) {
    if (remaining == 0) break;
    if (s.item == item && s.count >= 1 && s.count < kStackLimit) {
      const int moved = std::min(kStackLimit - s.count, remaining);
      s.count += moved;
      remaining -= moved;
    }
  }
  for (ItemStack& s : slots) {
    if (remaining == 0) break;
    if (s.empty()) {
      s = {item, std::min(remaining, kStackLimit)};
      remaining -= s.count;
    }
  }
  return remaining == 0;
}

int Inventory::count(BlockId item) const {
  int total = 0;
  for (const ItemStack& s : slots) {
    if (s.item == item && s.count > 0) total += s.count;
  }
  return total;
}

bool Inventory::isEmpty() const {
  return std::all_of(slots.begin(), slots.end(), [](const ItemStack& s) { return s.empty(); });
}

int Inventory::roomFor(BlockId item) const {
  int room = 0;
  for (const ItemStack& s : slots) {
    if (s.empty()) {
      room += kStackLimit;
    } else if (s.item == item) {
      room += std::max(0, kStackLimit - s.count);
    }
  }
  return room;
}

bool Inventory::remove(BlockId item, int n) {
  if (n <= 0) return true;
  if (count(item) < n) return false;
  int remaining = n;
  for (ItemStack& s : slots) {
    if (remaining == 0) break;
    if (s.item != item || s.count < 1) continue;
    const int taken = std::min(s.count, remaining);
    s.count -= taken;
    remaining -= taken;
    if (s.count == 0) s.item = 0;
  }
  return true;
}

bool Inventory::consumeSelected(int n) {
  ItemStack& s = slots[selected];
  if (s.count < n) return false;
  s.count -= n;
  if (s.count < 1) s = ItemStack{};
  return true;
}

void Inventory::select(int slot) {
  selected = std::clamp(slot, 0, kHotbarSlots - 1);
}

BlockId creativePaletteBlock(int hotbarSlot) {
  static constexpr BlockId kPalette[kHotbarSlots] = {kBlockGrass,       kBlockDirt,   kBlockStone,
                                                     kBlockCobblestone, kBlockSand,   kBlockWood,
                                                     kBlockPlanks,      kBlockLeaves, kBlockSnow};
  return kPalette[std::clamp(hotbarSlot, 0, kHotbarSlots - 1)];
}

void clickInventorySlot(ItemStack& slot, ItemStack& cursor) {
  if (cursor.empty()) {
    cursor = slot.empty() ? ItemStack{} : slot;
    slot = ItemStack{};
  } else if (slot.empty()) {
    slot = cursor;
    cursor = ItemStack{};
  } else if (slot.item != cursor.item) {
    std::swap(slot, cursor);
  } else {
    const int moved = std::clamp(kStackLimit - slot.count, 0, cursor.count);
    slot.count += moved;
    cursor.count -= moved;
    if (cursor.count < 1) cursor = ItemStack{};
  }
}

void returnCursorStack(Inventory& inventory, ItemStack& cursor) {
  if (!cursor.empty()) inventory.add(cursor.item, cursor.count);
  cursor = ItemStack{};
}

TradeResult tradeWithVillager(Inventory& inventory, uint8_t gameMode) {
  if (gameMode != 1) return TradeResult::SurvivorsOnly;
  if (!inventory.remove(kBlockPlanks, 8)) return TradeResult::NeedPlanks;
  inventory.add(kBlockBookshelf, 1);
  return TradeResult::Traded;
}

const char* tradeMessage(TradeResult result) {
  switch (result) {
    case TradeResult::Traded:
      return "Traded 8 planks for a bookshelf";
    case TradeResult::NeedPlanks:
      return "Villagers want 8 planks";
    case TradeResult::SurvivorsOnly:
      return "Villagers only trade with survivors";
  }
  return "";
}
