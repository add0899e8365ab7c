#include "app/pass_input.h"

// Sections: cursor and scroll | chat line | typed characters | key presses | the replay

#include <algorithm>

#include "game/commands.h"
#include "game/lifecycle.h"

namespace {

constexpr float kDoubleTapWindow = 0.32f;
constexpr float kBackspaceDelay = 0.4f;
constexpr float kBackspaceRepeat = 0.045f;

// The keys with a press action, in the order a pass acts on presses it only sees as
// changed states (drivers that set states without events).
constexpr int kActionKeys[] = {
    GLFW_KEY_ESCAPE, GLFW_KEY_E,        GLFW_KEY_F3,        GLFW_KEY_F4, GLFW_KEY_M,  GLFW_KEY_F2,
    GLFW_KEY_ENTER,  GLFW_KEY_KP_ENTER, GLFW_KEY_BACKSPACE, GLFW_KEY_V,  GLFW_KEY_UP, GLFW_KEY_DOWN,
    GLFW_KEY_TAB,    GLFW_KEY_F,        GLFW_KEY_SPACE,     GLFW_KEY_1,  GLFW_KEY_2,  GLFW_KEY_3,
    GLFW_KEY_4,      GLFW_KEY_5,        GLFW_KEY_6,         GLFW_KEY_7,  GLFW_KEY_8,  GLFW_KEY_9,
};

// The keys' states as the replay goes: the previous pass's states, changed by each
// event in turn, so a chord (F3 + F4, Ctrl + V) is judged as it was at the press.
struct HeldKeys {
  std::vector<uint8_t> states;
  bool down(int key) const {
    return key >= 0 && key < static_cast<int>(states.size()) && states[key] != 0;
  }
};

// --- Cursor and scroll -------------------------------------------------------------------

void applyCursor(Game& game, const InputRecord& input) {
  for (size_t i = 0; i < input.cursorX.size(); ++i) {
    if (!playingFree(game)) {
      game.input.cursorValid = false;
      continue;
    }
    if (game.input.cursorValid) {
      game.player.mouseSensitivity = game.settings.mouseSensitivity;
      look(game.player, static_cast<float>(input.cursorX[i] - game.input.cursorX),
           static_cast<float>(input.cursorY[i] - game.input.cursorY));
    }
    game.input.cursorValid = true;
    game.input.cursorX = input.cursorX[i];
    game.input.cursorY = input.cursorY[i];
  }
}

void applyScroll(Game& game, const InputRecord& input) {
  for (double offset : input.scroll) {
    if (!playingFree(game) || offset == 0.0) continue;
    Inventory& items = game.inventory.items;
    items.select((items.selected + (offset > 0 ? kHotbarSlots - 1 : 1)) % kHotbarSlots);
  }
}

// --- Chat line -------------------------------------------------------------------------

void openChat(Game& game, const char* text, bool talking) {
  game.chat.open = true;
  game.chat.talking = talking;
  game.chat.input = text;
  game.chat.historyCursor = -1;
  game.input.cursorValid = false;
}

void closeChat(Game& game) {
  game.chat.open = false;
  game.chat.talking = false;
  game.chat.input.clear();
  game.input.chatKey = -1;
}

void appendToChat(Game& game, uint32_t c) {
  if (c >= 32 && c <= 126 && game.chat.input.size() < kChatInputLimit) {
    game.chat.input.push_back(static_cast<char>(c));
  }
}

void sendChat(Game& game) {
  const std::string text = game.chat.input;
  closeChat(game);
  if (text.empty()) return;
  if (text[0] == '/') {
    runCommand(game, text);
    return;
  }
  if (game.net.session && game.net.role == NetClient) {
    game.net.session->sendChat(text);
  } else if (game.net.session && game.net.role == NetHost) {
    game.net.session->broadcastChat(game.net.playerName, text, 0);
  }
  addMessagef(game, "You: %s", text.c_str());
}

void paste(Game& game, const std::string& clipboard) {
  for (char raw : clipboard) {
    if (game.chat.input.size() >= kChatInputLimit) break;
    const unsigned char c = static_cast<unsigned char>(raw);
    if (c == '\r') continue;
    appendToChat(game, c == '\t' || c == '\n' ? ' ' : c);
  }
}

void browseHistory(Game& game, bool older) {
  ChatState& chat = game.chat;
  if (chat.history.empty()) return;
  const int newest = static_cast<int>(chat.history.size()) - 1;
  if (older) {
    chat.historyCursor = chat.historyCursor < 0 ? newest : std::max(0, chat.historyCursor - 1);
    chat.input = chat.history[chat.historyCursor];
  } else if (chat.historyCursor >= 0) {
    if (++chat.historyCursor > newest) {
      chat.historyCursor = -1;
      chat.input.clear();
    } else {
      chat.input = chat.history[chat.historyCursor];
    }
  }
}

void pressChatKey(Game& game, const InputRecord& input, int key, const HeldKeys& held) {
  ChatState& chat = game.chat;
  switch (key) {
    case GLFW_KEY_ENTER:
    case GLFW_KEY_KP_ENTER:
      sendChat(game);
      break;
    case GLFW_KEY_BACKSPACE:
      if (!chat.input.empty()) chat.input.pop_back();
      chat.backspaceHeld = 0.0f;
      chat.backspaceRepeat = 0.0f;
      break;
    case GLFW_KEY_V:
      if (held.down(GLFW_KEY_LEFT_CONTROL) || held.down(GLFW_KEY_RIGHT_CONTROL)) {
        paste(game, input.clipboard);
      }
      break;
    case GLFW_KEY_UP:
      browseHistory(game, true);
      break;
    case GLFW_KEY_DOWN:
      browseHistory(game, false);
      break;
    case GLFW_KEY_TAB:
      chat.input = completeCommand(chat.input);
      break;
    default:
      break;
  }
}

// After 0.4 s held, Backspace deletes a character every 0.045 s; its press deleted one.
void repeatBackspace(Game& game, const InputRecord& input, bool pressedThisPass, float dt) {
  ChatState& chat = game.chat;
  if (!game.chat.open) return;
  if (!input.down(GLFW_KEY_BACKSPACE)) {
    chat.backspaceHeld = 0.0f;
    return;
  }
  if (pressedThisPass) return;
  chat.backspaceHeld += dt;
  if (chat.backspaceHeld < kBackspaceDelay) return;
  chat.backspaceRepeat += dt;
  while (chat.backspaceRepeat >= kBackspaceRepeat) {
    chat.backspaceRepeat -= kBackspaceRepeat;
    if (!chat.input.empty()) chat.input.pop_back();
  }
}

// --- Typed characters --------------------------------------------------------------------

// `key` is the key pressed last before the character (the one that typed it), or -1.
void typeCharacter(Game& game, uint32_t c, int key, const HeldKeys& held) {
  if (game.screen != ScreenPlaying || game.inventory.open) return;
  InputMemory& memory = game.input;
  if (game.chat.open) {
    const bool repeat = memory.chatKey >= 0 && held.down(memory.chatKey);
    if (!(repeat && c == memory.chatCharacter)) appendToChat(game, c);
    return;
  }
  if (c == '/' || c == '^') {
    openChat(game, "/", false);
  } else if (c == 't' || c == 'T') {
    openChat(game, "", true);
  } else {
    return;
  }
  memory.chatKey = held.down(key) ? key : -1;
  memory.chatCharacter = c;
}

// --- Key presses -------------------------------------------------------------------------

void toggleFlying(Game& game) {
  game.player.flying = !game.player.flying;
  game.player.velocity.y = 0.0f;
  addMessage(game, game.player.flying ? "Flying" : "Flight off");
}

void closeInventory(Game& game) {
  returnCursorStack(game.inventory.items, game.inventory.cursor);
  game.inventory.open = false;
}

void pressEscape(Game& game) {
  if (game.chat.open) {
    closeChat(game);
  } else if (game.inventory.open) {
    closeInventory(game);
  } else if (game.screen == ScreenPlaying) {
    setScreen(game, ScreenPaused);
  } else if (game.screen == ScreenPaused) {
    setScreen(game, ScreenPlaying);
  }
}

void pressSpace(Game& game, double at) {
  const double last = game.input.lastSpacePress;
  if (last >= 0.0 && at - last <= kDoubleTapWindow) {
    toggleFlying(game);
    game.input.lastSpacePress = -1.0;
  } else {
    game.input.lastSpacePress = at;
  }
}

// One press of `key` at game clock `at`, with the other keys as they were held then.
void pressKey(Game& game, const InputRecord& input, int key, const HeldKeys& held, double at) {
  const bool playing = game.screen == ScreenPlaying;
  const bool creative = game.player.gameMode == GameModeCreative;
  if (key == GLFW_KEY_ESCAPE) {
    pressEscape(game);
  } else if (key == GLFW_KEY_F2 && playing) {
    game.flags.screenshotRequested = true;
  } else if (game.chat.open) {
    pressChatKey(game, input, key, held);
  } else if (key == GLFW_KEY_F3) {
    game.flags.debugOverlay = !game.flags.debugOverlay;
  } else if (key == GLFW_KEY_E && playing) {
    if (game.inventory.open) {
      closeInventory(game);
    } else if (game.player.gameMode == GameModeSurvival) {
      game.inventory.open = true;
    } else {
      addMessage(game, "Inventory is only used in Survival mode");
    }
  } else if (key == GLFW_KEY_F && playing && creative) {
    toggleFlying(game);
  } else if (!playingFree(game)) {
    return;
  } else if (key == GLFW_KEY_F4) {
    if (held.down(GLFW_KEY_F3)) {
      setGameMode(game, static_cast<uint8_t>((game.player.gameMode + 1) % 3));
    } else {
      toggleSpectator(game);
    }
  } else if (key == GLFW_KEY_M) {
    game.flags.minimap = !game.flags.minimap;
    addMessage(game, game.flags.minimap ? "Minimap on" : "Minimap off");
  } else if (key == GLFW_KEY_SPACE && creative) {
    pressSpace(game, at);
  } else if (key >= GLFW_KEY_1 && key <= GLFW_KEY_9 && game.world) {
    game.inventory.items.select(key - GLFW_KEY_1);
  }
}

}  // namespace

bool playingFree(const Game& game) {
  return game.screen == ScreenPlaying && !game.chat.open && !game.inventory.open;
}

// --- The replay --------------------------------------------------------------------------

void handleInput(Game& game, const InputRecord& input, float dt) {
  applyCursor(game, input);
  applyScroll(game, input);

  const size_t keyCount = input.keys.size();
  HeldKeys held{game.input.keys};
  held.states.resize(keyCount, 0);
  std::vector<uint8_t> hadEvents(keyCount, 0);
  bool backspacePressed = false;
  size_t nextCharacter = 0;
  int lastPressed = -1;
  auto typeUpTo = [&](size_t end) {
    for (end = std::min(end, input.characters.size()); nextCharacter < end; ++nextCharacter) {
      typeCharacter(game, input.characters[nextCharacter], lastPressed, held);
    }
  };
  for (const InputEvent& e : input.events) {
    if (e.button || e.code < 0 || e.code >= static_cast<int>(keyCount)) continue;
    typeUpTo(e.characterPosition);
    held.states[e.code] = e.pressed ? 1 : 0;
    hadEvents[e.code] = 1;
    if (!e.pressed) continue;
    lastPressed = e.code;
    backspacePressed |= e.code == GLFW_KEY_BACKSPACE && game.chat.open;
    pressKey(game, input, e.code, held, e.time >= 0.0 ? e.time : game.clock);
  }
  typeUpTo(input.characters.size());
  if (game.input.chatKey >= 0 && !input.down(game.input.chatKey)) game.input.chatKey = -1;

  // Keys that a driver set down without an event were pressed in this pass.
  held.states = input.keys;
  for (int key : kActionKeys) {
    if (key >= static_cast<int>(keyCount)) continue;
    const bool before = key < static_cast<int>(game.input.keys.size()) && game.input.keys[key];
    if (hadEvents[key] || before || !input.down(key)) continue;
    backspacePressed |= key == GLFW_KEY_BACKSPACE && game.chat.open;
    pressKey(game, input, key, held, game.clock);
  }
  repeatBackspace(game, input, backspacePressed, dt);
}

MouseButtons passButtons(Game& game, const InputRecord& input) {
  MouseButtons buttons{input.leftButton, input.rightButton};
  if (input.pressedSince(GLFW_MOUSE_BUTTON_LEFT, true)) {
    buttons.left = true;
    game.input.leftButton = false;
  }
  if (input.pressedSince(GLFW_MOUSE_BUTTON_RIGHT, true)) {
    buttons.right = true;
    game.input.rightButton = false;
  }
  return buttons;
}
