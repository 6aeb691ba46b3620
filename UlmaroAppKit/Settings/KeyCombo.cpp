#include "UlmaroAppKit/Settings/KeyCombo.h"

#include <bit>
#include <utility>

namespace ulmaro {
namespace {

// Every key code the X11 hot key can grab (X11KeyMap), by the name its key cap shows.
constexpr std::pair<std::uint32_t, const char*> keyNames[] = {
    {49, "Space"}, {36, "Return"},    {48, "Tab"},        {53, "Esc"},     {0, "A"},
    {11, "B"},     {8, "C"},          {2, "D"},           {14, "E"},       {3, "F"},
    {5, "G"},      {4, "H"},          {34, "I"},          {38, "J"},       {40, "K"},
    {37, "L"},     {46, "M"},         {45, "N"},          {31, "O"},       {35, "P"},
    {12, "Q"},     {15, "R"},         {1, "S"},           {17, "T"},       {32, "U"},
    {9, "V"},      {13, "W"},         {7, "X"},           {16, "Y"},       {6, "Z"},
    {29, "0"},     {18, "1"},         {19, "2"},          {20, "3"},       {21, "4"},
    {23, "5"},     {22, "6"},         {26, "7"},          {28, "8"},       {25, "9"},
    {24, "="},     {27, "-"},         {30, "]"},          {33, "["},       {39, "'"},
    {41, ";"},     {42, "\\"},        {43, ","},          {44, "/"},       {47, "."},
    {50, "`"},     {51, "Backspace"}, {114, "Insert"},    {117, "Delete"}, {115, "Home"},
    {119, "End"},  {116, "Page Up"},  {121, "Page Down"}, {123, "Left"},   {124, "Right"},
    {125, "Down"}, {126, "Up"},       {122, "F1"},        {120, "F2"},     {99, "F3"},
    {118, "F4"},   {96, "F5"},        {97, "F6"},         {98, "F7"},      {100, "F8"},
    {101, "F9"},   {109, "F10"},      {103, "F11"},       {111, "F12"},
};

// Keys every application needs, which a global grab would take from all of them.
constexpr KeyCombo everyAppsKeys[] = {
    {8, KeyCombo::control}, {9, KeyCombo::control}, {7, KeyCombo::control},
    {6, KeyCombo::control}, {0, KeyCombo::control}, {51, KeyCombo::control},
    {51, KeyCombo::option}, {48, KeyCombo::option}, {118, KeyCombo::option},
};

constexpr std::uint32_t fourModifiers =
    KeyCombo::command | KeyCombo::shift | KeyCombo::option | KeyCombo::control;

} // namespace

std::string KeyCombo::keyName(std::uint32_t keyCode) {
    for (const auto& [code, name] : keyNames)
        if (code == keyCode) return name;
    return "Key " + std::to_string(keyCode);
}

bool KeyCombo::isValid() const {
    return std::popcount(modifiers & fourModifiers) == 1;
}

std::optional<std::string> KeyCombo::refusal() const {
    if (!isValid()) return "Use one modifier (Alt, Ctrl or Super) plus one key.";
    const KeyCombo plain{keyCode, modifiers & fourModifiers};
    if (plain.modifiers == shift)
        return display() + " can’t be the shortcut: with Shift alone it is a key you type. "
                           "Use Alt, Ctrl or Super.";
    for (const KeyCombo& taken : everyAppsKeys)
        if (plain == taken)
            return display() + " can’t be the shortcut: every app needs it. Choose another.";
    return std::nullopt;
}

std::string KeyCombo::display() const {
    std::string text;
    for (auto [flag, name] : {std::pair{control, "Ctrl+"}, std::pair{option, "Alt+"},
                              std::pair{shift, "Shift+"}, std::pair{command, "Super+"}})
        if ((modifiers & flag) != 0) text += name;
    return text + keyName(keyCode);
}

} // namespace ulmaro
