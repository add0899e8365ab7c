#include "ui/ui_context.h"

#include <algorithm>
#include <cfloat>
#include <iterator>

#include "lang/translations.h"
#include "ui/ui_fonts.h"

namespace {

ImVec4 rgba(float r, float g, float b, float a) {
  return ImVec4(r, g, b, a);
}

// The dark style with the game's padding, rounding and colours.
void applyGameStyle() {
  ImGui::StyleColorsDark();
  ImGuiStyle& style = ImGui::GetStyle();
  style.WindowPadding = ImVec2(12, 12);
  style.WindowRounding = 0;
  style.WindowBorderSize = 1;
  style.FrameRounding = 3;
  ImVec4* c = style.Colors;
  c[ImGuiCol_WindowBg] = rgba(0.09f, 0.10f, 0.11f, 0.94f);
  c[ImGuiCol_Border] = rgba(0.24f, 0.25f, 0.27f, 0.6f);
  c[ImGuiCol_TitleBg] = rgba(0.13f, 0.14f, 0.15f, 1);
  c[ImGuiCol_TitleBgActive] = rgba(0.16f, 0.17f, 0.19f, 1);
  c[ImGuiCol_CheckMark] = rgba(0.55f, 0.72f, 0.45f, 1);
  c[ImGuiCol_Button] = rgba(0.17f, 0.19f, 0.21f, 1);
  c[ImGuiCol_ButtonHovered] = rgba(0.23f, 0.26f, 0.29f, 1);
  c[ImGuiCol_ButtonActive] = rgba(0.29f, 0.33f, 0.36f, 1);
  c[ImGuiCol_Header] = rgba(0.2f, 0.23f, 0.25f, 1);
  c[ImGuiCol_HeaderHovered] = rgba(0.26f, 0.29f, 0.32f, 1);
  c[ImGuiCol_Separator] = rgba(0.26f, 0.27f, 0.29f, 1);
}

// Text editing keys, by GLFW key code (the InputRecord's key indices).
void mapKeys(ImGuiIO& io) {
  const std::pair<ImGuiKey, int> keys[] = {
      {ImGuiKey_Tab, GLFW_KEY_TAB},
      {ImGuiKey_LeftArrow, GLFW_KEY_LEFT},
      {ImGuiKey_RightArrow, GLFW_KEY_RIGHT},
      {ImGuiKey_UpArrow, GLFW_KEY_UP},
      {ImGuiKey_DownArrow, GLFW_KEY_DOWN},
      {ImGuiKey_PageUp, GLFW_KEY_PAGE_UP},
      {ImGuiKey_PageDown, GLFW_KEY_PAGE_DOWN},
      {ImGuiKey_Home, GLFW_KEY_HOME},
      {ImGuiKey_End, GLFW_KEY_END},
      {ImGuiKey_Insert, GLFW_KEY_INSERT},
      {ImGuiKey_Delete, GLFW_KEY_DELETE},
      {ImGuiKey_Backspace, GLFW_KEY_BACKSPACE},
      {ImGuiKey_Space, GLFW_KEY_SPACE},
      {ImGuiKey_Enter, GLFW_KEY_ENTER},
      {ImGuiKey_Escape, GLFW_KEY_ESCAPE},
      {ImGuiKey_KeyPadEnter, GLFW_KEY_KP_ENTER},
      {ImGuiKey_A, GLFW_KEY_A},
      {ImGuiKey_C, GLFW_KEY_C},
      {ImGuiKey_V, GLFW_KEY_V},
      {ImGuiKey_X, GLFW_KEY_X},
      {ImGuiKey_Y, GLFW_KEY_Y},
      {ImGuiKey_Z, GLFW_KEY_Z},
  };
  for (const auto& [imguiKey, glfwKey] : keys) io.KeyMap[imguiKey] = glfwKey;
}

}  // namespace

UiContext::UiContext() : chineseFontPath(kChineseFontPath) {
  context_ = ImGui::CreateContext();
  ImGui::SetCurrentContext(context_);
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  io.UserData = this;
  io.DisplaySize = ImVec2(1280, 720);
  mapKeys(io);
  applyGameStyle();
  chineseRanges_ = chineseGlyphRanges();
  titleRanges_ = titleGlyphRanges();
  rebuildFonts();
}

UiContext::~UiContext() {
  if (ImGui::GetCurrentContext() == context_) ImGui::SetCurrentContext(nullptr);
  ImGui::DestroyContext(context_);
}

UiContext* currentUiContext() {
  if (ImGui::GetCurrentContext() == nullptr) return nullptr;
  return static_cast<UiContext*>(ImGui::GetIO().UserData);
}

void UiContext::rebuildFonts() {
  ImFontAtlas& atlas = *ImGui::GetIO().Fonts;
  fontLanguage_ = language();
  chineseFontLoaded_ =
      buildUiFonts(atlas, fontLanguage_, chineseRanges_, titleRanges_, chineseFontPath);
  // A null texture id tells the renderer to upload the new atlas before drawing.
  atlas.SetTexID(nullptr);
  fontBuilds_ += 1;
}

void UiContext::feedInput(const InputRecord& input, bool mouseCaptured) {
  ImGuiIO& io = ImGui::GetIO();
  io.DisplaySize = ImVec2(static_cast<float>(std::max(input.framebufferWidth, 1)),
                          static_cast<float>(std::max(input.framebufferHeight, 1)));
  if (!input.cursorX.empty()) {
    mouse_ =
        ImVec2(static_cast<float>(input.cursorX.back()), static_cast<float>(input.cursorY.back()));
  }
  const ImVec2 nowhere(-FLT_MAX, -FLT_MAX);
  io.MousePos = mouseCaptured ? nowhere : mouse_;
  inputQueue_.advance(input);
  io.MouseDown[0] = !mouseCaptured && inputQueue_.buttonDown(GLFW_MOUSE_BUTTON_LEFT);
  io.MouseDown[1] = !mouseCaptured && inputQueue_.buttonDown(GLFW_MOUSE_BUTTON_RIGHT);
  io.MouseWheel = 0;
  if (!mouseCaptured) {
    for (double offset : input.scroll) io.MouseWheel += static_cast<float>(offset);
  }
  const size_t keyCount = std::min(input.keys.size(), std::size(io.KeysDown));
  for (size_t key = 0; key < keyCount; ++key)
    io.KeysDown[key] = inputQueue_.keyDown(static_cast<int>(key));
  auto down = [&](int key) { return inputQueue_.keyDown(key); };
  io.KeyCtrl = down(GLFW_KEY_LEFT_CONTROL) || down(GLFW_KEY_RIGHT_CONTROL);
  io.KeyShift = down(GLFW_KEY_LEFT_SHIFT) || down(GLFW_KEY_RIGHT_SHIFT);
  io.KeyAlt = down(GLFW_KEY_LEFT_ALT) || down(GLFW_KEY_RIGHT_ALT);
  io.KeySuper = down(GLFW_KEY_LEFT_SUPER) || down(GLFW_KEY_RIGHT_SUPER);
  for (uint32_t c : input.characters) io.AddInputCharacter(c);
}

void UiContext::beginFrame(const InputRecord& input, float dt, bool mouseCaptured) {
  ImGui::SetCurrentContext(context_);
  if (language() != fontLanguage_) rebuildFonts();
  ImGui::GetIO().DeltaTime = std::max(dt, 1.0e-4f);
  feedInput(input, mouseCaptured);
  widgets.clear();
  ImGui::NewFrame();
}

void UiContext::endFrame() {
  ImGui::Render();
}
